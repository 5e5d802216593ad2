// Unpredictable bits from the operating system.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

// Fills `size` bytes from the kernel's random source (getrandom, or
// /dev/urandom where that call is missing). Returns false when neither
// source delivered; the buffer is then zero-filled.
bool HostRandomBytes(void* buffer, std::size_t size);

// 16 unpredictable bits. The kernel source does not fail once the system has
// booted; should it fail anyway the result is 0, so callers that must know
// use HostRandomBytes.
std::uint16_t HostRandomWord();

}  // namespace kcertadm
