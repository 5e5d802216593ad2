// The two AES kernels behind crypto/aes.h. Each runs CBC over whole blocks
// with a schedule whose round keys are already expanded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/cipher/aes.h"

namespace kcertadm::aes_internal {

// Portable, bitsliced: 64-bit words hold one bit of each of 64 bytes, that
// is four blocks side by side.
void SubWordPortable(std::uint8_t word[4]);
void PortableSliceRoundKeys(AesKeySchedule& schedule);
void PortableCbcEncrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                        const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
void PortableCbcDecrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                        const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

// The processor's AES instructions; only to be called when HaveAesNi().
bool HaveAesNi();
void NiPrepareDecryptKeys(AesKeySchedule& schedule);
void NiCbcEncrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                  const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);
void NiCbcDecrypt(const AesKeySchedule& schedule, std::uint8_t iv[kAesBlockSize],
                  const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

}  // namespace kcertadm::aes_internal
