// The RSA key forms of the toolkit:
//   KeyInfoRsaPublic   material and record: const RsaPublicKeyRecord*
//   KeyInfoRsaPrivate  material and record: const RsaPrivateKeyRecord*
//   KeyInfoRsaCrt      record: const RsaCrtRecord* (internal; set only
//                      through KeyInfoRsaPrivate, 517 when set directly)
// Byte strings are big-endian; leading zero bytes are dropped when stored.
#pragma once

#include <memory>

#include "crypto/rsa/rsa.h"
#include "crypto/rsa/rsa_keygen.h"
#include "crypto/rsa/rsa_public_numbers.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {

struct RsaPublicKeyRecord {
  ByteItem modulus;
  ByteItem publicExponent;
};

struct RsaPrivateKeyRecord {
  ByteItem modulus;
  ByteItem publicExponent;
  ByteItem privateExponent;
  ByteItem prime1;
  ByteItem prime2;
  ByteItem exponent1;
  ByteItem exponent2;
  ByteItem coefficient;
};

// The internal private form: the eight values as big numbers, and the
// private-key operation prepared from them on first use.
class RsaCrtRecord {
 public:
  explicit RsaCrtRecord(RsaKeyMaterial material) : material_(std::move(material)) {}
  ~RsaCrtRecord() { material_.Wipe(); }
  const RsaKeyMaterial& material() const { return material_; }
  // The prepared operation, or the status that prevents it (533, 542).
  int Operation(const RsaPrivateKeyOp** op) const;

 private:
  RsaKeyMaterial material_;
  mutable std::unique_ptr<RsaPrivateKeyOp> op_;
  mutable int op_status_ = -1;
};

// The toolkit's KeyInfoRsaPublic record viewing the numbers (valid while
// the bytes they view live), and the numbers a record views.
RsaPublicKeyRecord RecordOf(const RsaPublicNumbers& numbers);
RsaPublicNumbers NumbersOf(const RsaPublicKeyRecord& record);

}  // namespace kcertadm
