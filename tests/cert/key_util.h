// The fixed RSA key of the test vectors, the subject of the build vectors,
// and a signer made from them.
#pragma once

#include <ctime>
#include <string>

#include "cert/signing_key.h"
#include "der_util.h"
#include "kcertadm.h"

namespace kcertadm::test {

inline constexpr std::time_t kDec4At1603 = 1796400180;  // 2026-12-04 16:03:00 UTC

// Sets the process-wide international string type for one test.
struct IntlEncodingScope {
  explicit IntlEncodingScope(int tag);
  ~IntlEncodingScope();
  IntlEncodingScope(const IntlEncodingScope&) = delete;
  const int saved;
};

// Loads tests/data/cert/vector_key.pem (PKCS #1 RSAPrivateKey in PEM).
// The caller releases the key with DestroyKey.
KeyObject* LoadVectorKey();

// The subject of the build vectors, built with UTF8String as the
// international type.
struct VectorSubject {
  VectorSubject();
  ~VectorSubject();
  VectorSubject(const VectorSubject&) = delete;
  VectorSubject& operator=(const VectorSubject&) = delete;
  DnValue values[DN_SLOT_COUNT];
  bool ok = false;

 private:
  IntlEncodingScope utf8_{0x0C};
};

// A certificate record released with FreeCertData.
struct Record {
  Record() = default;
  explicit Record(const Bytes& der);  // owns a malloc copy
  ~Record() { FreeCertData(&cert); }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  CertData cert{};
};

// A request, or a self-signed certificate valid for 365 days, of the vector
// key and subject, made at `when`.
Bytes BuildForVectorKey(bool selfSigned, std::time_t when);

// The vector key with its self-signed certificate (valid from `when` for 365
// days) as a signer.
struct VectorSigner {
  explicit VectorSigner(std::time_t when = kDec4At1603);
  Record self;
  SigningKey signer{kAlgMd5WithRsa};
};

}  // namespace kcertadm::test
