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

// The eight numbers of a private key object. 0 or a toolkit status.
int NumbersOfKey(KeyObject* privateKey, RsaPrivateNumbers& out) {
  ToolkitLockHeld lock;
  const void* record = nullptr;
  int status = KeyGetInfo(lock, &record, privateKey, KeyInfoRsaPrivate()).code();
  if (status != 0) return status;
  out = NumbersOf(*static_cast<const RsaPrivateKeyRecord*>(record));
  return 0;
}

}  // namespace

KeyRingStatus EncryptPrivateKey(KeyObject* privateKey, std::string_view password,
                                SecureBytes& out) {
  out.clear();
  try {
    RsaPrivateNumbers numbers;
    if (int status = NumbersOfKey(privateKey, numbers)) return KeyRingStatusFromNumber(status);
    std::uint8_t salt[kPbeSaltSize];
    // RandomLock first, then the toolkit's; a key is never sealed under a
    // salt that did not come.
    if (ToolkitStatus status = KeyRingRandomBytes(salt, sizeof salt); !status.ok())
      return KeyRingStatusFromNumber(status.code());
    out = EncryptPrivateKeyNumbers(numbers, password, salt);
    return out.empty() ? kKeyRingBadFormat : kKeyRingOk;
  } catch (const std::bad_alloc&) {
    return kKeyRingNoMemory;
  }
}

OwnedKey DecryptPrivateKey(ByteView encrypted, std::string_view password) {
  try {
    auto numbers = DecryptPrivateKeyNumbers(encrypted, password);
    if (!numbers) return OwnedKey();
    const RsaPrivateKeyRecord record = RecordOf(*numbers);
    ToolkitLockHeld lock;
    OwnedKey key;
    if (key.Create(lock) != 0) return OwnedKey();
    if (KeySetInfo(lock, key.get(), KeyInfoRsaPrivate(), &record) != 0) return OwnedKey();
    return key;
  } catch (const std::bad_alloc&) {
    return OwnedKey();
  }
}

}  // namespace kcertadm
