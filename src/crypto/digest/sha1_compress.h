// SHA-1 block functions: the portable one, and one using the x86 SHA
// extensions where the processor has them. Sha1 picks the fastest.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm::sha1_internal {

void CompressPortable(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks);

// True when the processor offers the SHA extensions (and SSSE3, SSE4.1).
bool HaveShaExtensions();
// Only to be called when HaveShaExtensions().
void CompressShaExtensions(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks);

}  // namespace kcertadm::sha1_internal
