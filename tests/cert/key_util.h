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

Bytes BytesOf(const Asn1Item& item);

// Loads tests/data/cert/vector_key.pem (PKCS #1 RSAPrivateKey in PEM).
// The caller releases the key with DestroyKey.
KeyObject* LoadVectorKey();

// Owns the vector key for one test.
class VectorKey {
 public:
  VectorKey() : key_(LoadVectorKey()) {}
  ~VectorKey();
  VectorKey(const VectorKey&) = delete;
  VectorKey& operator=(const VectorKey&) = delete;
  KeyObject* get() const { return key_; }

 private:
  KeyObject* key_;
};

// The subject of the build vectors, built with UTF8String as the
// international type (restored afterwards).
struct VectorSubject {
  VectorSubject();
  ~VectorSubject();
  VectorSubject(const VectorSubject&) = delete;
  VectorSubject& operator=(const VectorSubject&) = delete;
  DnValue values[DN_SLOT_COUNT];
  bool ok = false;

 private:
  int saved_;
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

// The vector key with its self-signed certificate (valid from 2026-12-04 for
// 365 days) as a signer.
struct VectorSigner {
  VectorSigner();
  Record self;
  SigningKey signer{kAlgMd5WithRsa};
};

}  // namespace kcertadm::test
