#include "keyfile/key_file_cipher.h"

#include <atomic>
#include <new>

#include "asn1/der_append.h"
#include "asn1/oids.h"
#include "crypto/random/random_shared.h"
#include "crypto/toolkit/toolkit.h"
#include "keyfile/key_file_crypto.h"

namespace kcertadm {
namespace {

constexpr std::size_t kAesIvSize = 16;
constexpr std::size_t kWrittenSaltSize = 16;
// Salts longer than this are no salts any tool writes.
constexpr std::size_t kMaxSaltSize = 1024;

std::atomic<std::uint32_t> iterationLimit{kMaxKeyFileIterations};

struct AesChoice {
  der::View oid;
  AlgInfoAccessor cipher;
  std::uint32_t keySize;
};
const AesChoice kAesChoices[] = {
    {oid::kAes128Cbc, AlgInfoAes128CbcPad, 16},
    {oid::kAes192Cbc, AlgInfoAes192CbcPad, 24},
    {oid::kAes256Cbc, AlgInfoAes256CbcPad, 32},
};
const AesChoice& kWrittenAes = kAesChoices[2];  // AES-256-CBC

struct PrfChoice {
  der::View oid;
  AlgInfoAccessor hmac;
};
const PrfChoice kPrfChoices[] = {
    {oid::kHmacWithSha1, AlgInfoHmacSha1},
    {oid::kHmacWithSha256, AlgInfoHmacSha256},
};

struct Pkcs12PbeChoice {
  der::View oid;
  AlgInfoAccessor pbe;
};
const Pkcs12PbeChoice kPkcs12PbeChoices[] = {
    {oid::kPbeSha1DesEde3Cbc, AlgInfoPkcs12PbeSha1DesEde3Cbc},
    {oid::kPbeSha1Rc2Cbc40, AlgInfoPkcs12PbeSha1Rc2Cbc40},
};

template <typename Choice, std::size_t N>
const Choice* Find(const Choice (&choices)[N], der::View oidContent) {
  for (const Choice& choice : choices)
    if (der::Equal(choice.oid, oidContent)) return &choice;
  return nullptr;
}

// An AlgorithmIdentifier's OID and the rest of its contents (the parameters).
struct Algorithm {
  der::View oid;
  der::View parameters;
};

std::optional<Algorithm> SplitAlgorithm(der::View whole) {
  auto sequence = der::ExpectOnly(whole, der::kSequence, der::kIndefiniteAsEmpty);
  if (!sequence) return std::nullopt;
  der::View in = sequence->content;
  auto id = der::Expect(in, der::kOid, der::kIndefiniteAsEmpty);
  if (!id) return std::nullopt;
  return Algorithm{id->content, in};
}

KeyFileStatus FromToolkit(int status) {
  if (status == 0) return KeyFileStatus::kOk;
  return status == TkErrNoMemory ? KeyFileStatus::kNoMemory : KeyFileStatus::kWrongPassword;
}

// The parts of PBKDF2-params: SEQUENCE { salt OCTET STRING, iterationCount
// INTEGER, keyLength INTEGER OPTIONAL, prf AlgorithmIdentifier DEFAULT
// hmacWithSHA1 }.
struct Pbkdf2Parts {
  der::View salt;
  std::uint32_t iterations = 0;
  std::optional<std::uint32_t> keyLength;
  const PrfChoice* prf = &kPrfChoices[0];
};

KeyFileStatus ReadPbkdf2(der::View keyDerivation, Pbkdf2Parts& out) {
  auto algorithm = SplitAlgorithm(keyDerivation);
  if (!algorithm || !der::Equal(algorithm->oid, oid::kPbkdf2)) return KeyFileStatus::kUnsupported;
  der::View in = algorithm->parameters;
  auto params = der::ExpectOnly(in, der::kSequence, der::kIndefiniteAsEmpty);
  if (!params) return KeyFileStatus::kUnsupported;
  in = params->content;
  auto salt = der::Expect(in, der::kOctetString, der::kIndefiniteAsEmpty);
  auto count = der::Expect(in, der::kInteger, der::kIndefiniteAsEmpty);
  if (!salt || !count || salt->content.empty() || salt->content.size() > kMaxSaltSize)
    return KeyFileStatus::kUnsupported;
  out.salt = salt->content;
  if (KeyFileStatus s = ReadIterationCount(count->content, out.iterations); s != KeyFileStatus::kOk)
    return s;
  if (auto peek = der::Peek(in, der::kIndefiniteAsEmpty); peek && peek->tag == der::kInteger) {
    der::Next(in, der::kIndefiniteAsEmpty);
    std::uint32_t length = 0;
    if (ReadIterationCount(peek->content, length) != KeyFileStatus::kOk)
      return KeyFileStatus::kUnsupported;
    out.keyLength = length;
  }
  if (!in.empty()) {
    auto prf = der::ExpectOnly(in, der::kSequence, der::kIndefiniteAsEmpty);
    if (!prf) return KeyFileStatus::kUnsupported;
    auto prfAlgorithm = SplitAlgorithm(prf->whole);
    if (!prfAlgorithm) return KeyFileStatus::kUnsupported;
    out.prf = Find(kPrfChoices, prfAlgorithm->oid);
    if (out.prf == nullptr) return KeyFileStatus::kUnsupported;
  }
  return KeyFileStatus::kOk;
}

// PBES2-params: SEQUENCE { keyDerivationFunc, encryptionScheme }; the
// scheme an AES-CBC with its 16-byte IV.
KeyFileStatus DecryptPbes2(der::View parameters, const FilePassword& password, der::View ciphertext,
                           SecureBytes& plain) {
  auto params = der::ExpectOnly(parameters, der::kSequence, der::kIndefiniteAsEmpty);
  if (!params) return KeyFileStatus::kUnsupported;
  der::View in = params->content;
  auto keyDerivation = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
  auto scheme = der::Expect(in, der::kSequence, der::kIndefiniteAsEmpty);
  if (!keyDerivation || !scheme || !in.empty()) return KeyFileStatus::kUnsupported;
  auto cipher = SplitAlgorithm(scheme->whole);
  if (!cipher) return KeyFileStatus::kUnsupported;
  const AesChoice* aes = Find(kAesChoices, cipher->oid);
  der::View ivIn = cipher->parameters;
  auto iv = der::Expect(ivIn, der::kOctetString, der::kIndefiniteAsEmpty);
  if (aes == nullptr || !iv || !ivIn.empty() || iv->content.size() != kAesIvSize)
    return KeyFileStatus::kUnsupported;
  Pbkdf2Parts kdf;
  if (KeyFileStatus s = ReadPbkdf2(keyDerivation->whole, kdf); s != KeyFileStatus::kOk) return s;
  if (kdf.keyLength && *kdf.keyLength != aes->keySize) return KeyFileStatus::kUnsupported;
  if (ciphertext.empty() || ciphertext.size() % kAesIvSize != 0) return KeyFileStatus::kUnsupported;
  SecureBytes key(aes->keySize);
  const auto* text = reinterpret_cast<const std::uint8_t*>(password.text.data());
  if (int status = DerivePbkdf2(kdf.prf->hmac(), ByteView(text, password.text.size()), kdf.salt,
                                kdf.iterations, key.data(), aes->keySize))
    return status == TkErrNoMemory ? KeyFileStatus::kNoMemory : KeyFileStatus::kUnsupported;
  return FromToolkit(AesCbcPad(false, aes->cipher(), key, iv->content.data(), ciphertext, plain));
}

// pkcs-12PbeParams: SEQUENCE { salt OCTET STRING, iterations INTEGER }.
KeyFileStatus DecryptPkcs12Pbe(const Pkcs12PbeChoice& choice, der::View parameters,
                               const FilePassword& password, der::View ciphertext,
                               SecureBytes& plain) {
  auto params = der::ExpectOnly(parameters, der::kSequence, der::kIndefiniteAsEmpty);
  if (!params) return KeyFileStatus::kUnsupported;
  der::View in = params->content;
  auto salt = der::Expect(in, der::kOctetString, der::kIndefiniteAsEmpty);
  auto count = der::Expect(in, der::kInteger, der::kIndefiniteAsEmpty);
  if (!salt || !count || !in.empty() || salt->content.size() > kMaxSaltSize)
    return KeyFileStatus::kUnsupported;
  std::uint32_t iterations = 0;
  if (KeyFileStatus s = ReadIterationCount(count->content, iterations); s != KeyFileStatus::kOk)
    return s;
  if (ciphertext.empty() || ciphertext.size() % 8 != 0) return KeyFileStatus::kUnsupported;
  return FromToolkit(Pkcs12PbeCipher(false, choice.pbe(), password.bmp, salt->content, iterations,
                                     ciphertext, plain));
}

}  // namespace

void SetKeyFileIterationLimitForTesting(std::uint32_t limit) {
  iterationLimit.store(limit == 0 ? kMaxKeyFileIterations : limit);
}

std::optional<FilePassword> MakeFilePassword(std::string_view text) {
  std::optional<SecureBytes> bmp = BmpPassword(text);
  if (!bmp) return std::nullopt;
  return FilePassword{text, std::move(*bmp)};
}

KeyFileStatus ReadIterationCount(der::View content, std::uint32_t& iterations) {
  if (content.empty() || (content[0] & 0x80) != 0) return KeyFileStatus::kUnsupported;
  while (content.size() > 1 && content[0] == 0) content = content.subspan(1);
  if (content.size() > 4) return KeyFileStatus::kTooManyIterations;
  std::uint32_t value = 0;
  for (std::uint8_t b : content) value = value << 8 | b;
  if (value == 0) return KeyFileStatus::kUnsupported;
  if (value > iterationLimit.load()) return KeyFileStatus::kTooManyIterations;
  iterations = value;
  return KeyFileStatus::kOk;
}

KeyFileStatus DecryptWithAlgorithm(der::View algorithm, const FilePassword& password,
                                   der::View ciphertext, SecureBytes& plain) {
  try {
    auto split = SplitAlgorithm(algorithm);
    if (!split) return KeyFileStatus::kUnsupported;
    if (der::Equal(split->oid, oid::kPbes2))
      return DecryptPbes2(split->parameters, password, ciphertext, plain);
    if (const Pkcs12PbeChoice* choice = Find(kPkcs12PbeChoices, split->oid))
      return DecryptPkcs12Pbe(*choice, split->parameters, password, ciphertext, plain);
    return KeyFileStatus::kUnsupported;
  } catch (const std::bad_alloc&) {
    return KeyFileStatus::kNoMemory;
  }
}

KeyFileStatus EncryptWithPbes2(std::string_view password, ByteView plain, Bytes& algorithm,
                               SecureBytes& cipher) {
  try {
    std::uint8_t salt[kWrittenSaltSize], iv[kAesIvSize];
    if (GetRandomBytes(salt, sizeof salt) != 0 || GetRandomBytes(iv, sizeof iv) != 0)
      return KeyFileStatus::kNoMemory;
    const AesChoice& aes = kWrittenAes;
    SecureBytes key(aes.keySize);
    const auto* text = reinterpret_cast<const std::uint8_t*>(password.data());
    if (DerivePbkdf2(AlgInfoHmacSha256(), ByteView(text, password.size()), salt,
                     kKeyFileWriteIterations, key.data(), aes.keySize) != 0 ||
        AesCbcPad(true, aes.cipher(), key, iv, plain, cipher) != 0)
      return KeyFileStatus::kNoMemory;

    Bytes kdfParams, prf, kdf, scheme, pbes2Params, content;
    der::Append(kdfParams, der::kOctetString, der::View(salt, sizeof salt));
    const std::uint8_t count[2] = {kKeyFileWriteIterations >> 8, kKeyFileWriteIterations & 0xFF};
    der::AppendUnsignedInteger(kdfParams, der::View(count, sizeof count));
    prf = der::AlgorithmIdentifier(oid::kHmacWithSha256);
    kdfParams.insert(kdfParams.end(), prf.begin(), prf.end());
    Bytes kdfContent;
    der::Append(kdfContent, der::kOid, oid::kPbkdf2);
    der::Append(kdfContent, der::kSequence, kdfParams);
    der::Append(kdf, der::kSequence, kdfContent);
    Bytes schemeContent;
    der::Append(schemeContent, der::kOid, aes.oid);
    der::Append(schemeContent, der::kOctetString, der::View(iv, sizeof iv));
    der::Append(scheme, der::kSequence, schemeContent);
    Bytes both = kdf;
    both.insert(both.end(), scheme.begin(), scheme.end());
    der::Append(pbes2Params, der::kSequence, both);
    der::Append(content, der::kOid, oid::kPbes2);
    content.insert(content.end(), pbes2Params.begin(), pbes2Params.end());
    algorithm.clear();
    der::Append(algorithm, der::kSequence, content);
    return KeyFileStatus::kOk;
  } catch (const std::bad_alloc&) {
    return KeyFileStatus::kNoMemory;
  }
}

}  // namespace kcertadm
