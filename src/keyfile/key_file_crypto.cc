#include "keyfile/key_file_crypto.h"

#include <new>

#include "crypto/cipher/pkcs12_kdf.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "host/charset.h"
#include "keyring/keyring_crypto.h"

namespace kcertadm {
namespace {

// Largest input a toolkit call takes here: well above the largest key
// file the commands read, well below the toolkit's 32-bit lengths.
constexpr std::size_t kMaxInput = 64u << 20;

// A ByteItem over bytes; an empty view still points somewhere.
ByteItem ItemOf(ByteView bytes) {
  static const std::uint8_t kNothing = 0;
  return ByteItem{bytes.empty() ? &kNothing : bytes.data(),
                  static_cast<std::uint32_t>(bytes.size())};
}

int NewItemKey(const ToolkitLockHeld& lock, OwnedKey& key, ByteView material) {
  if (int status = key.Create(lock).code()) return status;
  const ByteItem item = ItemOf(material);
  return KeySetInfo(lock, key.get(), KeyInfoItem(), &item).code();
}

void AppendUnit(SecureBytes& out, char32_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit >> 8));
  out.push_back(static_cast<std::uint8_t>(unit));
}

}  // namespace

std::optional<SecureBytes> BmpPassword(std::string_view utf8) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
  SecureBytes out;
  out.reserve(utf8.size() * 4 + 2);
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t c = 0;
    if (!DecodeUtf8(bytes, utf8.size(), &pos, &c)) return std::nullopt;
    if (c >= 0x10000) {  // a surrogate pair
      c -= 0x10000;
      AppendUnit(out, 0xD800 + (c >> 10));
      AppendUnit(out, 0xDC00 + (c & 0x3FF));
    } else {
      AppendUnit(out, c);
    }
  }
  AppendUnit(out, 0);
  return out;
}

int DerivePbkdf2(const AlgorithmInfoType* prf, ByteView password, ByteView salt,
                 std::uint32_t iterations, std::uint8_t* out, std::uint32_t length) {
  if (password.size() > kMaxInput || salt.size() > kMaxInput) return TkErrBadParameter;
  ToolkitLockHeld lock;
  OwnedAlgorithm kdf;
  OwnedKey key;
  if (int status = NewItemKey(lock, key, password)) return status;
  if (int status = kdf.Create(lock).code()) return status;
  const Pbkdf2Params params{ItemOf(salt), iterations, length, prf};
  if (int status = AlgSetInfo(lock, kdf.get(), AlgInfoPbkdf2(), &params).code()) return status;
  if (int status = DigestInit(lock, kdf.get(), key.get(), HmacMethods, nullptr).code())
    return status;
  std::uint32_t written = 0;
  return DigestFinal(lock, kdf.get(), out, &written, length, nullptr).code();
}

int AesCbcPad(bool encrypt, const AlgorithmInfoType* cipher, ByteView key, const std::uint8_t* iv,
              ByteView in, SecureBytes& out) {
  if (in.size() > kMaxInput) return TkErrBadParameter;
  try {
    ToolkitLockHeld lock;
    OwnedAlgorithm aes;
    OwnedKey aesKey;
    if (int status = NewItemKey(lock, aesKey, key)) return status;
    if (int status = aes.Create(lock).code()) return status;
    const CbcParams params{iv};
    if (int status = AlgSetInfo(lock, aes.get(), cipher, &params).code()) return status;
    return RunCipher(lock, encrypt, aes.get(), aesKey.get(), AesCbcMethods, in, out).code();
  } catch (const std::bad_alloc&) {
    out.clear();
    return TkErrNoMemory;
  }
}

int Pkcs12PbeCipher(bool encrypt, const AlgorithmInfoType* pbe, ByteView bmpPassword, ByteView salt,
                    std::uint32_t iterations, ByteView in, SecureBytes& out) {
  if (in.size() > kMaxInput || salt.size() > kMaxInput) return TkErrBadParameter;
  try {
    ToolkitLockHeld lock;
    OwnedAlgorithm cipher;
    OwnedKey password;
    if (int status = NewItemKey(lock, password, bmpPassword)) return status;
    if (int status = cipher.Create(lock).code()) return status;
    const ByteItem saltItem = ItemOf(salt);
    const Pkcs12PbeParams params{saltItem.data, saltItem.length, iterations};
    if (int status = AlgSetInfo(lock, cipher.get(), pbe, &params).code()) return status;
    return RunCipher(lock, encrypt, cipher.get(), password.get(), Pkcs12PbeMethods, in, out).code();
  } catch (const std::bad_alloc&) {
    out.clear();
    return TkErrNoMemory;
  }
}

int Pkcs12MacKey(const AlgorithmInfoType* digest, ByteView bmpPassword, ByteView salt,
                 std::uint32_t iterations, std::uint8_t* out, std::uint32_t length) {
  if (bmpPassword.size() > kMaxInput || salt.size() > kMaxInput) return TkErrBadParameter;
  const Pkcs12KdfInput input{digest, Pkcs12Purpose::kMac, ItemOf(bmpPassword), ItemOf(salt),
                             iterations};
  ToolkitLockHeld lock;
  return Pkcs12DeriveKey(input, DigestMethods, out, length);
}

int HmacOf(const AlgorithmInfoType* hmac, ByteView key, ByteView data, std::uint8_t* out,
           std::uint32_t outSize, std::uint32_t* length) {
  if (key.size() > kMaxInput || data.size() > kMaxInput) return TkErrBadParameter;
  ToolkitLockHeld lock;
  OwnedAlgorithm mac;
  OwnedKey macKey;
  if (int status = NewItemKey(lock, macKey, key)) return status;
  if (int status = mac.Create(lock).code()) return status;
  if (int status = AlgSetInfo(lock, mac.get(), hmac, nullptr).code()) return status;
  if (int status = DigestInit(lock, mac.get(), macKey.get(), HmacMethods, nullptr).code())
    return status;
  if (int status = DigestUpdate(lock, mac.get(), data.data(),
                                static_cast<std::uint32_t>(data.size()), nullptr)
                       .code())
    return status;
  return DigestFinal(lock, mac.get(), out, length, outSize, nullptr).code();
}

}  // namespace kcertadm
