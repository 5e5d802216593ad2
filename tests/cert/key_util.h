// The fixed RSA key and subject of the build vectors, and a signer made from them.
#pragma once

#include <ctime>

#include "base/library_state.h"
#include "cert/signing_key.h"
#include "der_util.h"
#include "kcertadm.h"

namespace kcertadm::test {

inline constexpr std::time_t kDec4At1603 = 1796400180;  // 2026-12-04 16:03:00 UTC
// The serial number of the built vectors (the number 1796400180).
inline const Bytes kVectorSerial = {0x6B, 0x12, 0xE4, 0x34};

// Sets the process-wide international string type for one scope.
struct IntlEncodingScope {
  explicit IntlEncodingScope(int tag) : saved(IntlStringEncoding()) { SetIntlStringEncoding(tag); }
  ~IntlEncodingScope() { SetIntlStringEncoding(saved); }
  const int saved;
};

// A certificate record owning a malloc copy of the bytes.
struct Record {
  Record() = default;
  explicit Record(const Bytes& der);
  ~Record() { FreeCertData(&cert); }
  Record(const Record&) = delete;
  CertData cert{};
  CertFields fields{};
};

// A request, or a 365-day self-signed certificate, of the vector key and subject made at `when`.
Bytes BuildForVectorKey(bool selfSigned, std::time_t when);

// The vector key with its self-signed certificate as a signer.
struct VectorSigner {
  explicit VectorSigner(std::time_t when = kDec4At1603);
  Record self;
  SigningKey signer{kAlgMd5WithRsa};
};

}  // namespace kcertadm::test
