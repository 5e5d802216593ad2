#include "cert/cert_signature.h"

#include "asn1/asn1.h"
#include "crypto/digest/md5.h"
#include "crypto/rsa/signature.h"

namespace kcertadm {
namespace {

constexpr std::uint8_t kRsaEncryptionOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};

// The older OIW form of SHA-1 with RSA, also recognised.
constexpr std::uint8_t kOiwSha1WithRsa[] = {0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E,
                                            0x03, 0x02, 0x1D, 0x05, 0x00};

}  // namespace

int ExtractRsaKey(const Asn1Item& spki, RsaPublicKeyParts* parts) {
  *parts = RsaPublicKeyParts{};
  Asn1Item content = spki;
  if (content.data == nullptr || Asn1PeekTag(kAsn1Sequence, &content, 1) != 1) return -1;
  Asn1Item bitString{};
  Asn1Item view = content;
  std::int32_t algorithmSize = 0;
  if (view.length < 1 || view.data[0] != kAsn1Sequence) return -1;
  algorithmSize = Asn1TotalSize(view);
  if (algorithmSize <= 0) return -1;
  parts->algorithm = Asn1Item{view.data, algorithmSize};
  view.data += algorithmSize;
  view.length -= algorithmSize;
  if (Asn1NextTagged(&view, &bitString, kAsn1BitString) != 1) return -1;

  Asn1Item oid = parts->algorithm;
  if (Asn1Enter(&oid) < 0 || Asn1ExpectTag(kAsn1ObjectId, &oid, nullptr) < 9 ||
      !Asn1MatchBytes(&oid, kRsaEncryptionOid, sizeof kRsaEncryptionOid)) {
    return -1;
  }
  if (bitString.length < 1 || bitString.data[0] != 0) return -1;
  Asn1Item key{bitString.data + 1, bitString.length - 1};
  if (Asn1PeekTag(kAsn1Sequence, &key, 1) != 1) return -1;
  const Asn1TemplateEntry numbers[] = {{kAsn1Integer, &parts->modulus},
                                       {kAsn1Integer, &parts->exponent}};
  if (Asn1DecodeTemplate(numbers, 2, key, 1) != 0) return -1;
  if (parts->modulus.length < 1 || parts->exponent.length < 1) return -1;
  if (parts->modulus.data[0] == 0x00) {
    ++parts->modulus.data;
    --parts->modulus.length;
  }
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
  return !Asn1ItemEquals(oid, kRsaEncryptionOid, sizeof kRsaEncryptionOid);
}

int SignatureDigestId(const Asn1Item& algorithmId) {
  if (Asn1ItemEquals(algorithmId, kOiwSha1WithRsa, sizeof kOiwSha1WithRsa)) return kSignatureSha1;
  if (algorithmId.data == nullptr || algorithmId.length <= 0) return -1;
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
