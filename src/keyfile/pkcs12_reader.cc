#include "keyfile/pkcs12_reader.h"

#include "asn1/oids.h"
#include "crypto/toolkit/toolkit.h"
#include "keyfile/key_file_crypto.h"
#include "keyfile/pkcs8_key.h"

namespace kcertadm {
namespace {

constexpr std::uint8_t kVersion3 = 3;
constexpr std::size_t kMaxMacSize = 64;

// ContentInfo: SEQUENCE { contentType OID, content [0] EXPLICIT ANY }.
struct ContentInfo {
  der::View type;
  der::View content;  // inside [0]
};

std::optional<ContentInfo> ReadContentInfo(der::View whole) {
  auto sequence = der::ExpectOnly(whole, der::kSequence, der::kIndefiniteAsEmpty);
  if (!sequence) return std::nullopt;
  der::View in = sequence->content;
  auto type = der::Expect(in, der::kOid, der::kIndefiniteAsEmpty);
  auto content = der::Expect(in, der::kContext0, der::kIndefiniteAsEmpty);
  if (!type || !content || !in.empty()) return std::nullopt;
  return ContentInfo{type->content, content->content};
}

// The OCTET STRING contents of a data ContentInfo's content.
std::optional<der::View> DataOctets(der::View content) {
  auto octets = der::ExpectOnly(content, der::kOctetString, der::kIndefiniteAsEmpty);
  if (!octets) return std::nullopt;
  return octets->content;
}

struct MacChoice {
  der::View digestOid;
  AlgInfoAccessor digest;
  AlgInfoAccessor hmac;
  std::uint32_t size;
};
const MacChoice kMacChoices[] = {
    {oid::kSha1, AlgInfoSha1, AlgInfoHmacSha1, 20},
    {oid::kSha256, AlgInfoSha256, AlgInfoHmacSha256, 32},
};

bool SameBytes(der::View a, const std::uint8_t* b, std::size_t size) {
  if (a.size() != size) return false;
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < size; ++i) difference |= a[i] ^ b[i];
  return difference == 0;
}

// True when the MAC computed over authSafe under the password is expected.
bool MacMatches(const MacChoice& choice, ByteView password, der::View salt,
                std::uint32_t iterations, der::View authSafe, der::View expected,
                KeyFileStatus& failure) {
  std::uint8_t key[kMaxMacSize], mac[kMaxMacSize];
  std::uint32_t length = 0;
  bool matches = false;
  if (Pkcs12MacKey(choice.digest(), password, salt, iterations, key, choice.size) != 0 ||
      HmacOf(choice.hmac(), ByteView(key, choice.size), authSafe, mac, sizeof mac, &length) != 0) {
    failure = KeyFileStatus::kNoMemory;
  } else {
    matches = SameBytes(expected, mac, length);
  }
  SecureWipe(key, sizeof key);
  return matches;
}

// MacData: SEQUENCE { DigestInfo, macSalt OCTET STRING, iterations INTEGER
// DEFAULT 1 }.
KeyFileStatus VerifyMac(der::View macData, const FilePassword& password, der::View authSafe) {
  auto sequence = der::ExpectOnly(macData, der::kSequence, der::kIndefiniteAsEmpty);
  if (!sequence) return KeyFileStatus::kUnsupported;
  der::View in = sequence->content;
  auto digestInfo = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
  auto salt = der::Expect(in, der::kOctetString, der::kIndefiniteAsEmpty);
  if (!digestInfo || !salt) return KeyFileStatus::kUnsupported;
  std::uint32_t iterations = 1;
  if (!in.empty()) {
    auto count = der::ExpectOnly(in, der::kInteger, der::kIndefiniteAsEmpty);
    if (!count) return KeyFileStatus::kUnsupported;
    if (KeyFileStatus s = ReadIterationCount(count->content, iterations); s != KeyFileStatus::kOk)
      return s;
  }
  der::View info = digestInfo->content;
  auto algorithm = der::Expect(info, der::kSequence, der::kIndefiniteAsEmpty);
  auto digest = der::Expect(info, der::kOctetString, der::kIndefiniteAsEmpty);
  if (!algorithm || !digest || !info.empty()) return KeyFileStatus::kUnsupported;
  der::View alg = algorithm->content;
  auto id = der::Expect(alg, der::kOid, der::kIndefiniteAsEmpty);
  if (!id) return KeyFileStatus::kUnsupported;
  const MacChoice* choice = nullptr;
  for (const MacChoice& c : kMacChoices)
    if (der::Equal(c.digestOid, id->content)) choice = &c;
  if (choice == nullptr) return KeyFileStatus::kUnsupported;
  KeyFileStatus failure = KeyFileStatus::kWrongPassword;
  if (MacMatches(*choice, password.bmp, salt->content, iterations, authSafe, digest->content,
                 failure))
    return KeyFileStatus::kOk;
  // Tools differ on the empty password: its BMPString, or no bytes at all.
  if (failure == KeyFileStatus::kWrongPassword && password.text.empty() &&
      MacMatches(*choice, ByteView(), salt->content, iterations, authSafe, digest->content,
                 failure))
    return KeyFileStatus::kOk;
  return failure;
}

class BagReader {
 public:
  BagReader(const FilePassword& password, KeyFileContents& out) : password_(password), out_(out) {}

  // SafeContents: SEQUENCE OF SafeBag.
  KeyFileStatus ReadSafeContents(der::View whole) {
    auto sequence = der::ExpectOnly(whole, der::kSequence, der::kIndefiniteAsEmpty);
    if (!sequence) return KeyFileStatus::kUnsupported;
    for (der::View in = sequence->content; !in.empty();) {
      auto bag = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
      if (!bag || ++bags_ > kMaxPkcs12Bags) return KeyFileStatus::kUnsupported;
      if (KeyFileStatus s = ReadBag(bag->content); s != KeyFileStatus::kOk) return s;
    }
    return KeyFileStatus::kOk;
  }

 private:
  // SafeBag: SEQUENCE { bagId OID, bagValue [0] EXPLICIT, bagAttributes SET OPTIONAL }.
  KeyFileStatus ReadBag(der::View in) {
    auto id = der::Expect(in, der::kOid, der::kIndefiniteAsEmpty);
    auto value = der::Expect(in, der::kContext0, der::kIndefiniteAsEmpty);
    if (!id || !value) return KeyFileStatus::kUnsupported;
    if (!in.empty()) {
      auto attributes = der::ExpectOnly(in, der::kSet, der::kIndefiniteAsEmpty);
      if (!attributes) return KeyFileStatus::kUnsupported;
    }
    if (der::Equal(id->content, oid::kCertBag)) return ReadCertBag(value->content);
    const bool shrouded = der::Equal(id->content, oid::kShroudedKeyBag);
    if (!shrouded && !der::Equal(id->content, oid::kKeyBag))
      return KeyFileStatus::kOk;              // CRLs, secrets
    if (out_.key) return KeyFileStatus::kOk;  // the first key is the one
    RsaPrivateNumbers numbers;
    auto key = der::ExpectOnly(value->content, der::kSequence, der::kIndefiniteAsEmpty);
    if (!key) return KeyFileStatus::kUnsupported;
    const KeyFileStatus s = shrouded ? DecryptPrivateKeyInfo(key->whole, password_, numbers)
                                     : DecodeRsaPrivateKeyInfo(key->whole, numbers);
    if (s == KeyFileStatus::kOk) out_.key = std::move(numbers);
    return s;
  }

  // CertBag: SEQUENCE { certId OID, certValue [0] EXPLICIT OCTET STRING }.
  KeyFileStatus ReadCertBag(der::View value) {
    auto bag = der::ExpectOnly(value, der::kSequence, der::kIndefiniteAsEmpty);
    if (!bag) return KeyFileStatus::kUnsupported;
    der::View in = bag->content;
    auto id = der::Expect(in, der::kOid, der::kIndefiniteAsEmpty);
    auto certValue = der::Expect(in, der::kContext0, der::kIndefiniteAsEmpty);
    if (!id || !certValue || !in.empty()) return KeyFileStatus::kUnsupported;
    if (!der::Equal(id->content, oid::kX509Certificate)) return KeyFileStatus::kOk;  // SDSI
    std::optional<der::View> octets = DataOctets(certValue->content);
    if (!octets || octets->empty()) return KeyFileStatus::kUnsupported;
    if (out_.certificates.size() >= kMaxKeyFileCertificates) return KeyFileStatus::kUnsupported;
    out_.certificates.emplace_back(octets->begin(), octets->end());
    return KeyFileStatus::kOk;
  }

  const FilePassword& password_;
  KeyFileContents& out_;
  std::size_t bags_ = 0;
};

// EncryptedData: SEQUENCE { version INTEGER, EncryptedContentInfo SEQUENCE
// { contentType OID, contentEncryptionAlgorithm, encryptedContent [0]
// IMPLICIT OCTET STRING } }, the content a SafeContents.
KeyFileStatus ReadEncryptedData(der::View content, const FilePassword& password, BagReader& bags) {
  auto encryptedData = der::ExpectOnly(content, der::kSequence, der::kIndefiniteAsEmpty);
  if (!encryptedData) return KeyFileStatus::kUnsupported;
  der::View in = encryptedData->content;
  auto version = der::Expect(in, der::kInteger, der::kIndefiniteAsEmpty);
  auto info = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
  if (!version || !info) return KeyFileStatus::kUnsupported;
  der::View infoIn = info->content;
  auto type = der::Expect(infoIn, der::kOid, der::kIndefiniteAsEmpty);
  auto algorithm = der::Expect(infoIn, der::kSequence, der::kIndefiniteAsEmpty);
  auto encrypted = der::Expect(infoIn, der::kImplicit0, der::kIndefiniteAsEmpty);
  if (!type || !der::Equal(type->content, oid::kPkcs7Data) || !algorithm || !encrypted ||
      !infoIn.empty())
    return KeyFileStatus::kUnsupported;
  SecureBytes plain;
  if (KeyFileStatus s = DecryptWithAlgorithm(algorithm->whole, password, encrypted->content, plain);
      s != KeyFileStatus::kOk)
    return s;
  const KeyFileStatus s = bags.ReadSafeContents(der::View(plain.data(), plain.size()));
  // What decrypted under a wrong password does not decode.
  return s == KeyFileStatus::kUnsupported ? KeyFileStatus::kWrongPassword : s;
}

// AuthenticatedSafe: SEQUENCE OF ContentInfo, each data or encryptedData.
KeyFileStatus ReadAuthenticatedSafe(der::View authSafe, const FilePassword& password,
                                    KeyFileContents& out) {
  auto sequence = der::ExpectOnly(authSafe, der::kSequence, der::kIndefiniteAsEmpty);
  if (!sequence) return KeyFileStatus::kUnsupported;
  BagReader bags(password, out);
  for (der::View in = sequence->content; !in.empty();) {
    auto element = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
    if (!element) return KeyFileStatus::kUnsupported;
    std::optional<ContentInfo> info = ReadContentInfo(element->whole);
    if (!info) return KeyFileStatus::kUnsupported;
    KeyFileStatus s = KeyFileStatus::kUnsupported;
    if (der::Equal(info->type, oid::kPkcs7Data)) {
      if (std::optional<der::View> octets = DataOctets(info->content))
        s = bags.ReadSafeContents(*octets);
    } else if (der::Equal(info->type, oid::kPkcs7EncryptedData)) {
      s = ReadEncryptedData(info->content, password, bags);
    }
    if (s != KeyFileStatus::kOk) return s;
  }
  return KeyFileStatus::kOk;
}

}  // namespace

// PFX: SEQUENCE { version 3, authSafe ContentInfo (data), macData OPTIONAL }.
KeyFileStatus ReadPkcs12(der::View file, const FilePassword& password, KeyFileContents& out) {
  auto pfx = der::ExpectOnly(file, der::kSequence, der::kIndefiniteAsEmpty);
  if (!pfx) return KeyFileStatus::kUnsupported;
  der::View in = pfx->content;
  auto version = der::Expect(in, der::kInteger, der::kIndefiniteAsEmpty);
  auto authSafe = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
  if (!version || version->content.size() != 1 || version->content[0] != kVersion3 || !authSafe)
    return KeyFileStatus::kUnsupported;
  std::optional<ContentInfo> info = ReadContentInfo(authSafe->whole);
  // Public-key integrity (signedData) is not read.
  if (!info || !der::Equal(info->type, oid::kPkcs7Data)) return KeyFileStatus::kUnsupported;
  std::optional<der::View> octets = DataOctets(info->content);
  if (!octets) return KeyFileStatus::kUnsupported;
  if (!in.empty()) {
    if (KeyFileStatus s = VerifyMac(in, password, *octets); s != KeyFileStatus::kOk) return s;
  }
  return ReadAuthenticatedSafe(*octets, password, out);
}

}  // namespace kcertadm
