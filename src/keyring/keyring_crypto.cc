#include "keyring/keyring_crypto.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "base/locks.h"
#include "crypto/random/entropy.h"
#include "crypto/random/random_shared.h"
#include "crypto/toolkit/toolkit.h"
#include "crypto/toolkit/toolkit_scope.h"
#include "crypto/toolkit/toolkit_status.h"
#include "keyring/keyring.h"
#include "keyring/keyring_state.h"
#include "keyring/keyring_status.h"

namespace kcertadm {
namespace {
// Largest message the toolkit's 32-bit lengths take with room for padding.
constexpr std::size_t kMaxMessage = 0x7FFFFFF0;
}  // namespace

ToolkitStatus KeyRingRandomBytes(std::uint8_t* out, std::size_t n) {
  return GetRandomBytes(out, n);
}

ToolkitStatus RunCipher(const ToolkitLockHeld& lock, bool encrypt, AlgorithmObject* cipher,
                        KeyObject* key, MethodList methods, ByteView in, SecureBytes& out) {
  ToolkitStatus status = encrypt ? EncryptInit(lock, cipher, key, methods, nullptr)
                                 : DecryptInit(lock, cipher, key, methods, nullptr);
  if (!status.ok()) return status;
  const std::uint32_t size = static_cast<std::uint32_t>(in.size() + 17);
  out.assign(size, 0);
  std::uint32_t first = 0, last = 0;
  status = encrypt ? EncryptUpdate(lock, cipher, out.data(), &first, size, in.data(),
                                   static_cast<std::uint32_t>(in.size()), nullptr, nullptr)
                   : DecryptUpdate(lock, cipher, out.data(), &first, size, in.data(),
                                   static_cast<std::uint32_t>(in.size()), nullptr, nullptr);
  if (status.ok()) {
    status =
        encrypt
            ? EncryptFinal(lock, cipher, out.data() + first, &last, size - first, nullptr, nullptr)
            : DecryptFinal(lock, cipher, out.data() + first, &last, size - first, nullptr, nullptr);
  }
  if (!status.ok()) {
    out.clear();
    return status;
  }
  out.resize(first + last);
  return 0;
}

namespace {

// DES-CBC without padding over whole blocks.
int DesCbcBlocks(bool encrypt, const std::uint8_t key[8], const std::uint8_t iv[8], ByteView in,
                 SecureBytes& out) {
  if (in.size() > kMaxMessage) return TkErrNoMemory;
  ToolkitLockHeld lock;
  OwnedAlgorithm cipher;
  OwnedKey desKey;
  if (int status = desKey.Create(lock).code()) return status;
  if (int status = KeySetInfo(lock, desKey.get(), KeyInfoDesParity(), key).code()) return status;
  if (int status = cipher.Create(lock).code()) return status;
  CbcParams params{iv};
  if (int status = AlgSetInfo(lock, cipher.get(), AlgInfoDesCbc(), &params).code()) return status;
  return RunCipher(lock, encrypt, cipher.get(), desKey.get(), DesCbcMethods, in, out).code();
}

}  // namespace

int DesCbcPadEncrypt(const std::uint8_t key[8], const std::uint8_t iv[8], ByteView data,
                     SecureBytes& out) {
  SecureBytes padded(data.begin(), data.end());
  const std::uint8_t pad = static_cast<std::uint8_t>(8 - data.size() % 8);
  padded.insert(padded.end(), pad, pad);
  return DesCbcBlocks(true, key, iv, padded, out);
}

int DesCbcPadDecrypt(const std::uint8_t key[8], const std::uint8_t iv[8], ByteView data,
                     SecureBytes& out) {
  if (data.empty() || data.size() % 8 != 0) return TkErrInputTooLong;
  if (int status = DesCbcBlocks(false, key, iv, data, out)) return status;
  const std::uint8_t pad = out.back();
  bool good = pad >= 1 && pad <= 8 && pad <= out.size() &&
              std::all_of(out.end() - pad, out.end(), [pad](std::uint8_t b) { return b == pad; });
  if (!good) {
    out.clear();
    return TkErrBadData;
  }
  out.resize(out.size() - pad);
  return 0;
}

int PbeMd5DesCbc(bool encrypt, ByteView passwordItem, const std::uint8_t salt[8],
                 std::uint32_t iterations, ByteView in, SecureBytes& out) {
  if (in.size() > kMaxMessage || passwordItem.size() > kMaxMessage)
    return KeyRingStatusNumber(kKeyRingNoMemory);
  try {
    ToolkitLockHeld lock;
    OwnedAlgorithm pbe;
    OwnedKey password;
    if (int status = password.Create(lock).code()) return status;
    ByteItem item{passwordItem.data(), static_cast<std::uint32_t>(passwordItem.size())};
    if (int status = KeySetInfo(lock, password.get(), KeyInfoItem(), &item).code()) return status;
    if (int status = pbe.Create(lock).code()) return status;
    PbeParams params{salt, iterations};
    if (int status = AlgSetInfo(lock, pbe.get(), AlgInfoPbeMd5DesCbc(), &params).code())
      return status;
    return RunCipher(lock, encrypt, pbe.get(), password.get(), PbeMethods, in, out).code();
  } catch (const std::bad_alloc&) {
    out.clear();
    return KeyRingStatusNumber(kKeyRingNoMemory);
  }
}

namespace {

// Hands the random generator's seeding the sampled fields of every entry.
// Each entry is read in place under KeyRingLock, taken for that entry
// alone; no copy of the key material is made.
void SampleKeyRingEntries(KeyRingFieldSample sample, void* context) {
  for (std::size_t index = 0;; ++index) {
    KeyRingGuard guard;
    const std::vector<KeyRingEntry>& entries = InMemoryKeyRing(guard).entries;
    if (index >= entries.size()) return;
    const KeyRingEntry& entry = entries[index];
    sample(context, entry.label.data(), entry.label.size());
    sample(context, entry.subjectName.data(), entry.subjectName.size());
    sample(context, entry.publicKey.data(), entry.publicKey.size());
    sample(context, entry.privateKey.data(), entry.privateKey.size());
    sample(context, entry.certificates.data(), entry.certificates.size());
  }
}

}  // namespace

void RegisterKeyRingSampler() {
  static std::once_flag once;
  std::call_once(once, [] { SetKeyRingEntrySampler(&SampleKeyRingEntries); });
}

}  // namespace kcertadm
