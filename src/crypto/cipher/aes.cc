// AES key expansion (the same for both kernels) and the choice of kernel.
#include "crypto/cipher/aes.h"

#include <atomic>
#include <cstring>

#include "base/secure_memory.h"
#include "crypto/cipher/aes_kernels.h"

namespace kcertadm {
namespace {

std::atomic<bool> force_portable{false};

// Round constants: x^(i-1) in GF(2^8), i = 1..10.
constexpr std::uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1b, 0x36};

// FIPS 197 5.2: Nk key words, then w[i] = w[i-Nk] ^ temp with temp the
// previous word, rotated, substituted and offset by Rcon every Nk words (and
// substituted alone halfway for 256-bit keys).
void ExpandKey(AesKeySchedule& schedule, const std::uint8_t* key, std::size_t key_size) {
  const std::size_t nk = key_size / 4, total = 4 * (schedule.rounds + 1);
  auto* words = reinterpret_cast<std::uint8_t(*)[4]>(&schedule.encrypt[0][0]);
  std::memcpy(words, key, key_size);
  std::uint8_t temp[4];
  for (std::size_t i = nk; i < total; ++i) {
    std::memcpy(temp, words[i - 1], 4);
    if (i % nk == 0) {
      const std::uint8_t first = temp[0];
      temp[0] = temp[1], temp[1] = temp[2], temp[2] = temp[3], temp[3] = first;
      aes_internal::SubWordPortable(temp);
      temp[0] ^= kRcon[i / nk - 1];
    } else if (nk > 6 && i % nk == 4) {
      aes_internal::SubWordPortable(temp);
    }
    for (int b = 0; b < 4; ++b) words[i][b] = words[i - nk][b] ^ temp[b];
  }
  SecureWipe(temp, sizeof(temp));
}

}  // namespace

bool AesNiAvailable() { return aes_internal::HaveAesNi(); }

AesKernel AesPreferredKernel() {
  return !force_portable.load(std::memory_order_relaxed) && AesNiAvailable() ? AesKernel::kAesNi
                                                                             : AesKernel::kPortable;
}

void ForceAesPortableForTesting(bool force) {
  force_portable.store(force, std::memory_order_relaxed);
}

bool AesKeySizeValid(std::size_t key_size) {
  return key_size == 16 || key_size == 24 || key_size == 32;
}

void AesSetKey(AesKeySchedule& schedule, const std::uint8_t* key, std::size_t key_size,
               AesKernel kernel) {
  SecureWipe(&schedule, sizeof(schedule));
  schedule.kernel =
      kernel == AesKernel::kAesNi && AesNiAvailable() ? AesKernel::kAesNi : AesKernel::kPortable;
  schedule.rounds = static_cast<std::uint32_t>(key_size / 4 + 6);
  ExpandKey(schedule, key, key_size);
  if (schedule.kernel == AesKernel::kAesNi)
    aes_internal::NiPrepareDecryptKeys(schedule);
  else
    aes_internal::PortableSliceRoundKeys(schedule);
}

void AesCbcEncrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  if (schedule.kernel == AesKernel::kAesNi)
    aes_internal::NiCbcEncrypt(schedule, iv, in, out, blocks);
  else
    aes_internal::PortableCbcEncrypt(schedule, iv, in, out, blocks);
}

void AesCbcDecrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  if (schedule.kernel == AesKernel::kAesNi)
    aes_internal::NiCbcDecrypt(schedule, iv, in, out, blocks);
  else
    aes_internal::PortableCbcDecrypt(schedule, iv, in, out, blocks);
}

}  // namespace kcertadm
