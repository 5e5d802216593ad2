#include "keyfile/pkcs8_key.h"

#include <new>

#include "asn1/der_append.h"
#include "asn1/oids.h"
#include "keyring/private_key_info.h"

namespace kcertadm {
namespace {

bool IsZeroVersion(const std::optional<der::Element>& version) {
  return version && version->content.size() == 1 && version->content[0] == 0;
}

}  // namespace

KeyFileStatus DecodePkcs1PrivateKey(der::View rsaPrivateKey, RsaPrivateNumbers& out) {
  auto outer = der::ExpectOnly(rsaPrivateKey, der::kSequence, der::kIndefiniteAsEmpty);
  if (!outer) return KeyFileStatus::kUnsupported;
  der::View content = outer->content;
  // Version 1 adds further primes, which this library's keys never have.
  if (!IsZeroVersion(der::Expect(content, der::kInteger, der::kIndefiniteAsEmpty)))
    return KeyFileStatus::kUnsupported;
  std::optional<RsaPrivateNumbers> numbers = DecodeRsaPrivateKey(outer->whole);
  if (!numbers) return KeyFileStatus::kUnsupported;
  for (int i = 0; i < 8; ++i) der::Next(content, der::kIndefiniteAsEmpty);
  if (!content.empty()) return KeyFileStatus::kUnsupported;
  out = std::move(*numbers);
  return KeyFileStatus::kOk;
}

KeyFileStatus DecodeRsaPrivateKeyInfo(der::View privateKeyInfo, RsaPrivateNumbers& out) {
  // Attributes [0] and a version-1 public key [1] may follow; they are not kept.
  const auto parts =
      DecodePrivateKeyInfoParts(privateKeyInfo, Framing::kWhole, der::kIndefiniteAsEmpty);
  if (!parts || parts->version.size() != 1 || parts->version[0] > 1)
    return KeyFileStatus::kUnsupported;
  if (!der::Equal(parts->algorithmId, oid::kRsaEncryption)) return KeyFileStatus::kNotRsa;
  return DecodePkcs1PrivateKey(parts->privateKey, out);
}

KeyFileStatus DecryptPrivateKeyInfo(der::View encrypted, const FilePassword& password,
                                    RsaPrivateNumbers& out) {
  const auto parts =
      DecodeEncryptedPrivateKeyInfoParts(encrypted, Framing::kWhole, der::kIndefiniteAsEmpty);
  if (!parts) return KeyFileStatus::kUnsupported;
  try {
    SecureBytes plain;
    KeyFileStatus status =
        DecryptWithAlgorithm(parts->algorithm.whole, password, parts->encryptedData, plain);
    if (status != KeyFileStatus::kOk) return status;
    status = DecodeRsaPrivateKeyInfo(der::View(plain.data(), plain.size()), out);
    return status == KeyFileStatus::kUnsupported ? KeyFileStatus::kWrongPassword : status;
  } catch (const std::bad_alloc&) {
    return KeyFileStatus::kNoMemory;
  }
}

KeyFileStatus EncryptPrivateKeyInfo(const RsaPrivateNumbers& numbers, std::string_view password,
                                    SecureBytes& out) {
  try {
    const SecureBytes plain = EncodePrivateKeyInfo(numbers);
    Bytes algorithm;
    SecureBytes cipher;
    if (KeyFileStatus s =
            EncryptWithPbes2(password, der::View(plain.data(), plain.size()), algorithm, cipher);
        s != KeyFileStatus::kOk)
      return s;
    SecureBytes content(algorithm.begin(), algorithm.end());
    der::Append(content, der::kOctetString, der::View(cipher.data(), cipher.size()));
    out.clear();
    der::Append(out, der::kSequence, der::View(content.data(), content.size()));
    return KeyFileStatus::kOk;
  } catch (const std::bad_alloc&) {
    return KeyFileStatus::kNoMemory;
  }
}

}  // namespace kcertadm
