// DES (FIPS 46) and triple DES in EDE mode with three keys, CBC chaining
// (FIPS 81). The parity bits of the key bytes are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

inline constexpr std::size_t kDesBlockSize = 8;
inline constexpr std::size_t kDesKeySize = 8;
inline constexpr std::size_t kDesEde3KeySize = 24;

// Round keys of one DES key, in both orders. Wipe when done (it is a plain
// array type, so SecureWipe or WipeOnExit apply).
struct DesKeySchedule {
  std::uint32_t encrypt[32];
  std::uint32_t decrypt[32];
};

struct DesEde3KeySchedule {
  DesKeySchedule k1, k2, k3;
};

void DesSetKey(DesKeySchedule& schedule, const std::uint8_t key[kDesKeySize]);
// K1 = key[0..7], K2 = key[8..15], K3 = key[16..23].
void DesEde3SetKey(DesEde3KeySchedule& schedule, const std::uint8_t key[kDesEde3KeySize]);

// CBC over `blocks` whole blocks; `iv` is updated to the last ciphertext
// block. `in` and `out` may be the same buffer, but must not otherwise overlap.
void DesCbcEncrypt(const DesKeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
void DesCbcDecrypt(const DesKeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
// Encryption E(K3, D(K2, E(K1, x))) per block; decryption the inverse.
void DesEde3CbcEncrypt(const DesEde3KeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                       const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
void DesEde3CbcDecrypt(const DesEde3KeySchedule& schedule, std::uint8_t iv[kDesBlockSize],
                       const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

// Forces odd parity on each of the 8 bytes by setting or clearing its lowest bit.
void DesSetOddParity(std::uint8_t key[kDesKeySize]);
// True when every one of the 8 bytes has an odd number of one bits.
bool DesHasOddParity(const std::uint8_t key[kDesKeySize]);

}  // namespace kcertadm
