// The two shapes bytes travel in between the library's layers: an owned
// buffer and a read-only view of someone else's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kcertadm {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

}  // namespace kcertadm
