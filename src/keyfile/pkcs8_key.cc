#include "keyfile/pkcs8_key.h"

#include <new>

#include "asn1/der_append.h"
#include "asn1/oids.h"

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
  auto outer = der::ExpectOnly(privateKeyInfo, der::kSequence, der::kIndefiniteAsEmpty);
  if (!outer) return KeyFileStatus::kUnsupported;
  der::View content = outer->content;
  auto version = der::Expect(content, der::kInteger, der::kIndefiniteAsEmpty);
  auto algorithm = der::Expect(content, der::kSequence, der::kIndefiniteAsEmpty);
  auto key = der::Expect(content, der::kOctetString, der::kIndefiniteAsEmpty);
  // Attributes [0] and a version-1 public key [1] may follow; they are not kept.
  if (!version || version->content.size() != 1 || version->content[0] > 1 || !algorithm || !key)
    return KeyFileStatus::kUnsupported;
  der::View alg = algorithm->content;
  auto id = der::Expect(alg, der::kOid, der::kIndefiniteAsEmpty);
  if (!id) return KeyFileStatus::kUnsupported;
  if (!der::Equal(id->content, oid::kRsaEncryption)) return KeyFileStatus::kNotRsa;
  return DecodePkcs1PrivateKey(key->content, out);
}

KeyFileStatus DecryptPrivateKeyInfo(der::View encrypted, const FilePassword& password,
                                    RsaPrivateNumbers& out) {
  auto outer = der::ExpectOnly(encrypted, der::kSequence, der::kIndefiniteAsEmpty);
  if (!outer) return KeyFileStatus::kUnsupported;
  der::View content = outer->content;
  auto algorithm = der::Expect(content, der::kSequence, der::kIndefiniteAsEmpty);
  auto data = der::Expect(content, der::kOctetString, der::kIndefiniteAsEmpty);
  if (!algorithm || !data || !content.empty()) return KeyFileStatus::kUnsupported;
  try {
    SecureBytes plain;
    KeyFileStatus status = DecryptWithAlgorithm(algorithm->whole, password, data->content, plain);
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
