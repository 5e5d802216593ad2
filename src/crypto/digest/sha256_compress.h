// SHA-256 block functions: the portable one, and one using the x86 SHA
// extensions where the processor has them. Sha256 picks the fastest.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm::sha256_internal {

extern const std::uint32_t kRoundConstants[64];

void CompressPortable(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);
// Only to be called when sha1_internal::HaveShaExtensions() (the same
// processor feature covers both digests).
void CompressShaExtensions(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

}  // namespace kcertadm::sha256_internal
