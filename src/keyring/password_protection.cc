#include "keyring/password_protection.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "asn1/der_append.h"
#include "asn1/oids.h"
#include "crypto/digest/md2.h"
#include "keyring/keyring_crypto.h"
#include "keyring/keyring_status.h"
#include "keyring/private_key_info.h"

namespace kcertadm {
namespace {

// The fixed salt of the protected data.
constexpr std::uint8_t kProtectedDataSalt[8] = {'Q', 'b', 'Q', 'b', 'Q', 'b', 'Q', 'b'};
constexpr std::uint32_t kProtectedDataIterations = 7;

der::View AsView(const SecureBytes& b) { return der::View(b.data(), b.size()); }

// INTEGER contents equal to zero (one or more zero bytes).
bool IsZeroInteger(der::View content) {
  return !content.empty() &&
         std::all_of(content.begin(), content.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

std::optional<RsaPrivateNumbers> DecodeRsaPrivateKey(ByteView der_) {
  auto outer = der::Expect(der_, der::kSequence, der::kIndefiniteAsEmpty);
  if (!outer) return std::nullopt;
  der::View in = outer->content;
  auto version = der::Expect(in, der::kInteger, der::kIndefiniteAsEmpty);
  if (!version) return std::nullopt;
  RsaPrivateNumbers numbers;
  for (SecureBytes* target : numbers.Parts()) {
    auto integer = der::Expect(in, der::kInteger, der::kIndefiniteAsEmpty);
    if (!integer || integer->content.empty()) return std::nullopt;
    target->assign(integer->content.begin(), integer->content.end());
  }
  return numbers;
}

namespace {

// PrivateKeyInfo -> numbers: version 0, rsaEncryption, RSAPrivateKey.
std::optional<RsaPrivateNumbers> DecodePrivateKeyInfo(der::View plain) {
  const auto parts = DecodePrivateKeyInfoParts(plain, Framing::kLenient, der::kIndefiniteAsEmpty);
  if (!parts || !IsZeroInteger(parts->version) ||
      !der::Equal(parts->algorithmId, oid::kRsaEncryption)) {
    return std::nullopt;
  }
  return DecodeRsaPrivateKey(parts->privateKey);
}

}  // namespace

PbeKey::~PbeKey() { SecureWipe(this, sizeof *this); }

void DerivePbeKey(std::string_view password, const std::uint8_t salt[kPbeSaltSize],
                  std::uint32_t iterationCount, PbeKey& out) {
  std::uint8_t t[Md2::kDigestSize];
  Md2 md2;
  WipeOnExit wipeDigest(md2);
  md2.Update(password.data(), password.size());
  md2.Update(salt, kPbeSaltSize);
  md2.Final(t);
  for (std::uint32_t i = 1; i < iterationCount; ++i) {
    md2.Update(t, sizeof t);
    md2.Final(t);
  }
  std::memcpy(out.key, t, 8);
  std::memcpy(out.iv, t + 8, 8);
  std::memcpy(out.salt, salt, kPbeSaltSize);
  out.iterationCount = iterationCount;
  SecureWipe(t, sizeof t);
}

SecureBytes PbeEncrypt(const PbeKey& pbeKey, ByteView data) {
  SecureBytes out;
  if (DesCbcPadEncrypt(pbeKey.key, pbeKey.iv, data, out) != 0) out.clear();
  return out;
}

std::optional<SecureBytes> PbeDecrypt(const PbeKey& pbeKey, ByteView ciphertext) {
  SecureBytes out;
  if (DesCbcPadDecrypt(pbeKey.key, pbeKey.iv, ciphertext, out) != 0) return std::nullopt;
  return out;
}

SecureBytes EncodeRsaPrivateKey(const RsaPrivateNumbers& numbers) {
  SecureBytes content;
  const std::uint8_t zero = 0;
  der::AppendUnsignedInteger(content, der::View(&zero, 1));
  for (const SecureBytes* n : numbers.Parts()) der::AppendUnsignedInteger(content, AsView(*n));
  SecureBytes out;
  der::Append(out, der::kSequence, AsView(content));
  SecureWipe(content.data(), content.size());
  return out;
}

SecureBytes EncodePrivateKeyInfo(const RsaPrivateNumbers& numbers) {
  SecureBytes rsaKey = EncodeRsaPrivateKey(numbers);
  SecureBytes content = {der::kInteger, 0x01, 0x00};
  auto algorithm = der::AlgorithmIdentifier(oid::kRsaEncryption);
  content.insert(content.end(), algorithm.begin(), algorithm.end());
  der::Append(content, der::kOctetString, AsView(rsaKey));
  SecureBytes out;
  der::Append(out, der::kSequence, AsView(content));
  return out;
}

SecureBytes EncryptPrivateKeyNumbers(const RsaPrivateNumbers& numbers, std::string_view password,
                                     const std::uint8_t salt[kPbeSaltSize]) {
  PbeKey pbeKey;
  DerivePbeKey(password, salt, kPrivateKeyIterations, pbeKey);
  SecureBytes plain = EncodePrivateKeyInfo(numbers);
  SecureBytes cipher = PbeEncrypt(pbeKey, plain);
  if (cipher.empty()) return {};

  Bytes parameter;
  der::Append(parameter, der::kOctetString, der::View(salt, kPbeSaltSize));
  const std::uint8_t count = static_cast<std::uint8_t>(kPrivateKeyIterations);
  der::AppendUnsignedInteger(parameter, der::View(&count, 1));
  Bytes algorithm;
  der::Append(algorithm, der::kOid, oid::kPbeMd2Des);
  der::Append(algorithm, der::kSequence, parameter);
  SecureBytes content;
  der::Append(content, der::kSequence, algorithm);
  der::Append(content, der::kOctetString, AsView(cipher));
  SecureBytes out;
  der::Append(out, der::kSequence, AsView(content));
  return out;
}

std::optional<SealedKey> DecodeSealedKey(ByteView encrypted, der::LengthRule rule) {
  const auto parts = DecodeEncryptedPrivateKeyInfoParts(encrypted, Framing::kLenient, rule);
  if (!parts) return std::nullopt;
  der::View alg = parts->algorithm.content;
  auto id = der::Expect(alg, der::kOid, rule);
  if (!id || !der::Equal(id->content, oid::kPbeMd2Des)) return std::nullopt;
  auto parameter = der::Expect(alg, der::kSequence, rule);
  if (!parameter) return std::nullopt;
  der::View param = parameter->content;
  auto salt = der::Expect(param, der::kOctetString, rule);
  auto count = der::Expect(param, der::kInteger, rule);
  if (!salt || !count || salt->content.size() < kPbeSaltSize) return std::nullopt;
  der::View digits = count->content;
  if (digits.empty() || (digits[0] & 0x80) != 0) return std::nullopt;  // none, or negative
  while (digits.size() > 1 && digits[0] == 0) digits = digits.subspan(1);
  std::uint64_t iterations = 0;
  for (std::uint8_t b : digits) iterations = iterations << 8 | b;
  if (digits.size() > sizeof iterations) iterations = std::numeric_limits<std::uint64_t>::max();
  return SealedKey{salt->content.first(kPbeSaltSize), iterations, parts->encryptedData};
}

std::optional<SecureBytes> DecryptSealedKey(ByteView encrypted, std::string_view password,
                                            der::LengthRule rule) {
  auto sealed = DecodeSealedKey(encrypted, rule);
  if (!sealed || sealed->iterations < 1 || sealed->iterations > kMaxPrivateKeyIterations)
    return std::nullopt;
  PbeKey pbeKey;
  DerivePbeKey(password, sealed->salt.data(), static_cast<std::uint32_t>(sealed->iterations),
               pbeKey);
  auto plain = PbeDecrypt(pbeKey, sealed->encryptedData);
  if (!plain || plain->empty() || (*plain)[0] != der::kSequence) return std::nullopt;
  return plain;
}

std::optional<RsaPrivateNumbers> DecryptPrivateKeyNumbers(ByteView encrypted,
                                                          std::string_view password) {
  auto plain = DecryptSealedKey(encrypted, password, der::kIndefiniteAsEmpty);
  if (!plain) return std::nullopt;
  return DecodePrivateKeyInfo(AsView(*plain));
}

bool SealedKeyIterationsOverBound(ByteView encrypted) {
  auto sealed = DecodeSealedKey(encrypted, der::kIndefiniteAsEmpty);
  return sealed && sealed->iterations > kMaxPrivateKeyIterations;
}

int EncryptProtectedData(ByteView data, std::optional<std::string_view> password,
                         SecureBytes& out) {
  std::string_view text = password.value_or(std::string_view());
  SecureBytes item(text.begin(), text.end());
  item.push_back(0);
  return PbeMd5DesCbc(true, AsView(item), kProtectedDataSalt, kProtectedDataIterations, data, out);
}

int DecryptProtectedData(ByteView encrypted, std::optional<std::string_view> password,
                         SecureBytes& out) {
  std::string_view text = password.value_or(std::string_view());
  SecureBytes item(text.begin(), text.end());
  item.push_back(0);
  return PbeMd5DesCbc(false, AsView(item), kProtectedDataSalt, kProtectedDataIterations, encrypted,
                      out);
}

}  // namespace kcertadm
