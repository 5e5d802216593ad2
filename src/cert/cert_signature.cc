#include "cert/cert_signature.h"

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/signed_structure.h"
#include "crypto/digest/md5.h"
#include "crypto/rsa/signature.h"

namespace kcertadm {
int ExtractRsaKey(const Asn1Item& spki, RsaPublicNumbers* key) {
  *key = RsaPublicNumbers{};
  const auto decoded = DecodeRsaSpki(Asn1Bytes(spki), der::kFollowIndefinite);
  if (!decoded) return -1;
  Asn1Item oid = Asn1ItemOver(decoded->algorithm);
  if (Asn1Enter(&oid) < 0 || Asn1ExpectTag(kAsn1ObjectId, &oid, nullptr) < 9 ||
      !Asn1MatchBytes(&oid, oid::bytes::kRsaEncryption, sizeof oid::bytes::kRsaEncryption)) {
    return -1;
  }
  *key = decoded->key;
  if (key->modulus[0] == 0x00) key->modulus = key->modulus.subspan(1);
  return 0;
}

bool IsForeignKeyType(const Asn1Item& spki) {
  Asn1Item content = spki;
  if (content.data == nullptr || Asn1PeekTag(kAsn1Sequence, &content, 1) != 1) return false;
  Asn1Item algorithm{};
  Asn1Item oid{};
  if (Asn1NextTagged(&content, &algorithm, kAsn1Sequence) != 1 ||
      Asn1NextTagged(&algorithm, &oid, kAsn1ObjectId) != 1) {
    return false;
  }
  return !Asn1ItemEquals(oid, oid::bytes::kRsaEncryption, sizeof oid::bytes::kRsaEncryption);
}

int SignatureDigestId(const Asn1Item& algorithmId) {
  if (algorithmId.data == nullptr || algorithmId.length <= 0) return -1;
  // The older OIW form of SHA-1 with RSA is recognised here too.
  if (der::Equal(RsaSignatureOid(Asn1Bytes(algorithmId)), oid::bytes::kOiwSha1WithRsa))
    return kSignatureSha1;
  const int selector =
      SignatureSelectorOf(algorithmId.data, static_cast<std::size_t>(algorithmId.length));
  return selector == 0 ? -1 : selector;
}

int CertFingerprint(const Asn1Item& item, std::uint8_t out[16]) {
  Md5Digest(item.data,
            item.data == nullptr || item.length < 0 ? 0 : static_cast<std::size_t>(item.length),
            out);
  return static_cast<int>(Md5::kDigestSize);
}

}  // namespace kcertadm
