// RC2 (RFC 2268) with an explicit effective key length, CBC chaining.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

inline constexpr std::size_t kRc2BlockSize = 8;
inline constexpr std::size_t kRc2MaxKeySize = 128;
inline constexpr std::uint32_t kRc2MaxEffectiveBits = 1024;

struct Rc2KeySchedule {
  std::uint16_t k[64];
};

// `key_size` 1..128, `effective_bits` 1..1024 (callers check).
void Rc2SetKey(Rc2KeySchedule& schedule, const std::uint8_t* key, std::size_t key_size,
               std::uint32_t effective_bits);

// CBC over whole blocks; `iv` becomes the last ciphertext block. `in` and
// `out` may be the same buffer but must not otherwise overlap.
void Rc2CbcEncrypt(const Rc2KeySchedule& schedule, std::uint8_t iv[kRc2BlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
void Rc2CbcDecrypt(const Rc2KeySchedule& schedule, std::uint8_t iv[kRc2BlockSize],
                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

}  // namespace kcertadm
