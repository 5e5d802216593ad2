// AES (FIPS 197) with 128-, 192- and 256-bit keys, CBC chaining.
//
// Two kernels, both constant-time: the processor's AES instructions where
// present, and a portable bitsliced one (no table lookups, no branches on
// data or key) everywhere else. A key schedule is built for one kernel and
// always runs on it; new schedules take AesPreferredKernel().
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

inline constexpr std::size_t kAesBlockSize = 16;
inline constexpr std::size_t kAesMaxRounds = 14;

enum class AesKernel : std::uint8_t { kPortable, kAesNi };

// True when the processor offers the AES instructions.
bool AesNiAvailable();
// AES-NI where available, unless ForceAesPortableForTesting(true).
AesKernel AesPreferredKernel();
// For tests and measurements: new schedules use the portable kernel.
void ForceAesPortableForTesting(bool force);

// Round keys of one AES key: a secret, to be wiped when done (a plain
// aggregate, so SecureWipe or WipeOnExit apply). Only the form the kernel
// needs is filled in.
struct AesKeySchedule {
  AesKernel kernel;
  std::uint32_t rounds;                         // 10, 12 or 14
  std::uint8_t encrypt[kAesMaxRounds + 1][16];  // FIPS 197 key expansion
  std::uint8_t decrypt[kAesMaxRounds + 1][16];  // AES-NI: reversed, InvMixColumns applied
  std::uint64_t sliced[kAesMaxRounds + 1][8];   // portable: bit planes over four blocks
};

// 16, 24 or 32 bytes.
bool AesKeySizeValid(std::size_t key_size);
// `key_size` must be valid (callers check). kAesNi falls back to the
// portable kernel on a processor without the instructions.
void AesSetKey(AesKeySchedule& schedule, const std::uint8_t* key, std::size_t key_size,
               AesKernel kernel = AesPreferredKernel());

// CBC over `blocks` whole blocks; `iv` becomes the last ciphertext block.
// `in` and `out` may be the same buffer but must not otherwise overlap.
void AesCbcEncrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
void AesCbcDecrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

}  // namespace kcertadm
