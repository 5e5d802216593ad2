#include "keyfile/pkcs12_writer.h"

#include "asn1/der_append.h"
#include "asn1/oids.h"
#include "crypto/digest/sha1.h"
#include "crypto/random/random_shared.h"
#include "crypto/toolkit/toolkit.h"
#include "keyfile/key_file_cipher.h"
#include "keyfile/key_file_crypto.h"
#include "keyfile/pkcs8_key.h"

namespace kcertadm {
namespace {

constexpr std::size_t kMacSaltSize = 16;
constexpr std::uint32_t kMacSize = 32;  // HMAC-SHA256

der::View ViewOf(const Bytes& bytes) { return der::View(bytes.data(), bytes.size()); }
der::View ViewOf(const SecureBytes& bytes) { return der::View(bytes.data(), bytes.size()); }

Bytes Wrap(std::uint8_t tag, der::View content) {
  Bytes out;
  der::Append(out, tag, content);
  return out;
}

Bytes Concat(std::initializer_list<der::View> parts) {
  Bytes out;
  for (der::View part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Attribute: SEQUENCE { OID, SET { value } }.
Bytes Attribute(der::View type, std::uint8_t tag, der::View value) {
  const Bytes set = Wrap(der::kSet, ViewOf(Wrap(tag, value)));
  return Wrap(der::kSequence, ViewOf(Concat({ViewOf(Wrap(der::kOid, type)), ViewOf(set)})));
}

// The SET of friendlyName and localKeyId that ties the key to its certificate.
Bytes KeyAttributes(std::string_view friendlyName, der::View localKeyId) {
  Bytes attributes;
  if (std::optional<SecureBytes> name = BmpPassword(friendlyName); name && name->size() > 2) {
    const Bytes nameAttribute =
        Attribute(oid::kFriendlyName, der::kBmpString, der::View(name->data(), name->size() - 2));
    attributes.insert(attributes.end(), nameAttribute.begin(), nameAttribute.end());
  }
  const Bytes idAttribute = Attribute(oid::kLocalKeyId, der::kOctetString, localKeyId);
  attributes.insert(attributes.end(), idAttribute.begin(), idAttribute.end());
  return Wrap(der::kSet, ViewOf(attributes));
}

// SafeBag: SEQUENCE { bagId, [0] { value }, attributes (may be empty) }.
Bytes SafeBag(der::View bagId, der::View value, der::View attributes) {
  return Wrap(der::kSequence, ViewOf(Concat({ViewOf(Wrap(der::kOid, bagId)),
                                             ViewOf(Wrap(der::kContext0, value)), attributes})));
}

Bytes CertBag(der::View certificate, der::View attributes) {
  const Bytes value = Wrap(
      der::kSequence,
      ViewOf(Concat({ViewOf(Wrap(der::kOid, oid::kX509Certificate)),
                     ViewOf(Wrap(der::kContext0, ViewOf(Wrap(der::kOctetString, certificate))))})));
  return SafeBag(oid::kCertBag, ViewOf(value), attributes);
}

// ContentInfo of type data around the octets.
Bytes DataContentInfo(der::View octets) {
  return Wrap(
      der::kSequence,
      ViewOf(Concat({ViewOf(Wrap(der::kOid, oid::kPkcs7Data)),
                     ViewOf(Wrap(der::kContext0, ViewOf(Wrap(der::kOctetString, octets))))})));
}

// ContentInfo of type encryptedData holding the SafeContents under PBES2.
KeyFileStatus EncryptedContentInfo(der::View safeContents, std::string_view password, Bytes& out) {
  Bytes algorithm;
  SecureBytes cipher;
  if (KeyFileStatus s = EncryptWithPbes2(password, safeContents, algorithm, cipher);
      s != KeyFileStatus::kOk)
    return s;
  const std::uint8_t zero = 0;
  const Bytes info = Wrap(
      der::kSequence, ViewOf(Concat({ViewOf(Wrap(der::kOid, oid::kPkcs7Data)), ViewOf(algorithm),
                                     ViewOf(Wrap(der::kImplicit0, ViewOf(cipher)))})));
  const Bytes encryptedData =
      Wrap(der::kSequence,
           ViewOf(Concat({ViewOf(Wrap(der::kInteger, der::View(&zero, 1))), ViewOf(info)})));
  out = Wrap(der::kSequence, ViewOf(Concat({ViewOf(Wrap(der::kOid, oid::kPkcs7EncryptedData)),
                                            ViewOf(Wrap(der::kContext0, ViewOf(encryptedData)))})));
  return KeyFileStatus::kOk;
}

// MacData: SEQUENCE { DigestInfo { sha256, mac }, salt, iterations }.
KeyFileStatus MacData(der::View authSafe, std::string_view password, Bytes& out) {
  std::optional<SecureBytes> bmp = BmpPassword(password);
  if (!bmp) return KeyFileStatus::kWrongPassword;
  std::uint8_t salt[kMacSaltSize], key[kMacSize], mac[kMacSize];
  std::uint32_t length = 0;
  const bool made = GetRandomBytes(salt, sizeof salt) == 0 &&
                    Pkcs12MacKey(AlgInfoSha256(), ViewOf(*bmp), der::View(salt, sizeof salt),
                                 kKeyFileWriteIterations, key, kMacSize) == 0 &&
                    HmacOf(AlgInfoHmacSha256(), der::View(key, kMacSize), authSafe, mac, sizeof mac,
                           &length) == 0;
  SecureWipe(key, sizeof key);
  if (!made || length != kMacSize) return KeyFileStatus::kNoMemory;
  const Bytes digestAlgorithm = der::AlgorithmIdentifier(oid::kSha256);
  const Bytes digestInfo = Wrap(
      der::kSequence, ViewOf(Concat({ViewOf(digestAlgorithm),
                                     ViewOf(Wrap(der::kOctetString, der::View(mac, kMacSize)))})));
  Bytes count;
  const std::uint8_t iterations[2] = {kKeyFileWriteIterations >> 8, kKeyFileWriteIterations & 0xFF};
  der::AppendUnsignedInteger(count, der::View(iterations, sizeof iterations));
  out = Wrap(der::kSequence,
             ViewOf(Concat({ViewOf(digestInfo),
                            ViewOf(Wrap(der::kOctetString, der::View(salt, sizeof salt))),
                            ViewOf(count)})));
  return KeyFileStatus::kOk;
}

}  // namespace

KeyFileStatus WritePkcs12(const KeyFileExport& contents, std::string_view password, Bytes& out) {
  if (contents.key == nullptr) return KeyFileStatus::kNoPrivateKey;
  std::uint8_t localKeyId[Sha1::kDigestSize];
  Sha1 sha1;
  sha1.Update(contents.certificate.data(), contents.certificate.size());
  sha1.Final(localKeyId);
  const Bytes attributes =
      KeyAttributes(contents.friendlyName, der::View(localKeyId, sizeof localKeyId));

  Bytes certBags = CertBag(contents.certificate, ViewOf(attributes));
  for (ByteView certificate : contents.chain) {
    const Bytes bag = CertBag(certificate, der::View());
    certBags.insert(certBags.end(), bag.begin(), bag.end());
  }
  Bytes certificates;
  if (KeyFileStatus s = EncryptedContentInfo(ViewOf(Wrap(der::kSequence, ViewOf(certBags))),
                                             password, certificates);
      s != KeyFileStatus::kOk)
    return s;

  SecureBytes shrouded;
  if (KeyFileStatus s = EncryptPrivateKeyInfo(*contents.key, password, shrouded);
      s != KeyFileStatus::kOk)
    return s;
  const Bytes keyBag = SafeBag(oid::kShroudedKeyBag, ViewOf(shrouded), ViewOf(attributes));
  const Bytes keyContents = DataContentInfo(ViewOf(Wrap(der::kSequence, ViewOf(keyBag))));

  const Bytes authSafe =
      Wrap(der::kSequence, ViewOf(Concat({ViewOf(certificates), ViewOf(keyContents)})));
  Bytes macData;
  if (KeyFileStatus s = MacData(ViewOf(authSafe), password, macData); s != KeyFileStatus::kOk)
    return s;
  const std::uint8_t version = 3;
  out = Wrap(der::kSequence,
             ViewOf(Concat({ViewOf(Wrap(der::kInteger, der::View(&version, 1))),
                            ViewOf(DataContentInfo(ViewOf(authSafe))), ViewOf(macData)})));
  return KeyFileStatus::kOk;
}

}  // namespace kcertadm
