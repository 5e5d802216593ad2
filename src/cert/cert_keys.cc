// Key objects and signature checks of certificates, through the toolkit.
#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "crypto/rsa/rsa_key_info.h"
#include "crypto/rsa/signature.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "host/messages.h"

namespace kcertadm {

int PublicKeyFromSpki(const Asn1Item& spki, OwnedKey& key, std::uint32_t* error) {
  key.reset();
  RsaPublicNumbers numbers;
  if (ExtractRsaKey(spki, &numbers) == 0 && !numbers.modulus.empty()) {
    const RsaPublicKeyRecord record = RecordOf(numbers);
    ToolkitLockHeld lock;
    OwnedKey owner;
    if (owner.Create(lock) == 0 &&
        KeySetInfo(lock, owner.get(), KeyInfoRsaPublic(), &record) == 0) {
      key = std::move(owner);
      return 0;
    }
  }
  FailWith(error, IsForeignKeyType(spki) ? kMsgUnsupportedKeyType : kMsgBadPublicKey);
  return -1;
}

int VerifySignature(const CertFields& fields, KeyObject* key, std::uint32_t* error) {
  const int digest = SignatureDigestId(fields.signatureAlgorithm);
  if (digest <= 0) {
    FailWith(error, kMsgUnsupportedSignature);
    return -1;
  }
  if (key != nullptr && fields.toBeSigned.length > 0) {
    ToolkitLockHeld lock;
    if (VerifyData(lock, digest, key, fields.toBeSigned.data,
                   static_cast<std::uint32_t>(fields.toBeSigned.length), fields.signatureValue.data,
                   static_cast<std::uint32_t>(fields.signatureValue.length)) == 0) {
      return 0;
    }
  }
  FailWith(error, kMsgBadSignature);
  return -1;
}

}  // namespace kcertadm
