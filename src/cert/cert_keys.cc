// Stand-in until the toolkit's RSA key objects are available.
#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "host_interface/messages.h"

namespace kcertadm {

int PublicKeyFromSpki(const Asn1Item& spki, KeyObject** key, std::uint32_t* error) {
  RsaPublicKeyParts parts;
  *key = nullptr;
  (void)ExtractRsaKey(spki, &parts);
  if (error != nullptr) *error = kMsgBadPublicKey;
  return -1;
}

void DestroyKey(KeyObject** key) { *key = nullptr; }

int VerifySignature(const CertFields&, KeyObject*, std::uint32_t* error) {
  if (error != nullptr) *error = kMsgBadSignature;
  return -1;
}

}  // namespace kcertadm
