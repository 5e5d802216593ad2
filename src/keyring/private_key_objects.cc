// EncryptPrivateKey and DecryptPrivateKey: the PKCS #8 sealing of the
// toolkit's private key objects.

#include <new>

#include "crypto/rsa/rsa_key_info.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "keyring/keyring_crypto.h"
#include "keyring/keyring_status.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

SecureBytes Copy(const ByteItem& item) { return SecureBytes(item.data, item.data + item.length); }

ByteItem Item(const SecureBytes& bytes) {
  return ByteItem{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
}

// The eight numbers of a private key object. 0 or a toolkit status.
int NumbersOf(KeyObject* privateKey, RsaPrivateNumbers& out) {
  ToolkitLockHeld lock;
  const void* record = nullptr;
  int status = KeyGetInfo(&record, privateKey, KeyInfoRsaPrivate());
  if (status != 0) return status;
  const auto& r = *static_cast<const RsaPrivateKeyRecord*>(record);
  out = {Copy(r.modulus), Copy(r.publicExponent), Copy(r.privateExponent), Copy(r.prime1),
         Copy(r.prime2),  Copy(r.exponent1),      Copy(r.exponent2),       Copy(r.coefficient)};
  return 0;
}

}  // namespace

int EncryptPrivateKey(KeyObject* privateKey, std::string_view password, SecureBytes& out) {
  out.clear();
  try {
    RsaPrivateNumbers numbers;
    if (int status = NumbersOf(privateKey, numbers)) return status;
    std::uint8_t salt[kPbeSaltSize];
    // RandomLock first, then the toolkit's; a key is never sealed under a
    // salt that did not come.
    if (ToolkitStatus status = KeyRingRandomBytes(salt, sizeof salt); !status.ok())
      return status.code();
    out = EncryptPrivateKeyNumbers(numbers, password, salt);
    return out.empty() ? kKeyRingBadFormat : 0;
  } catch (const std::bad_alloc&) {
    return kKeyRingNoMemory;
  }
}

OwnedKey DecryptPrivateKey(ByteView encrypted, std::string_view password) {
  try {
    auto numbers = DecryptPrivateKeyNumbers(encrypted, password);
    if (!numbers) return OwnedKey();
    RsaPrivateKeyRecord record{Item(numbers->modulus),         Item(numbers->publicExponent),
                               Item(numbers->privateExponent), Item(numbers->prime1),
                               Item(numbers->prime2),          Item(numbers->exponent1),
                               Item(numbers->exponent2),       Item(numbers->coefficient)};
    ToolkitLockHeld lock;
    OwnedKey key;
    if (key.Create(lock) != 0) return OwnedKey();
    if (KeySetInfo(key.get(), KeyInfoRsaPrivate(), &record) != 0) return OwnedKey();
    return key;
  } catch (const std::bad_alloc&) {
    return OwnedKey();
  }
}

}  // namespace kcertadm
