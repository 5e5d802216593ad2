// Serial numbers of the certificates the library builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kcertadm {

// Octets of every new serial number.
inline constexpr std::size_t kSerialNumberLength = 16;

// The content octets of a new serial number: a positive INTEGER of 16
// octets (its first octet 0x40 to 0x7F, so it is minimally encoded and
// never zero) holding 126 bits from the shared random generator, so that
// two certificates of one issuer never share a serial, whenever they are
// made. Empty when no random bytes could be had. Takes RandomLock: the
// caller must not hold RandomLock or ToolkitLock.
std::vector<std::uint8_t> NewSerialNumber();

}  // namespace kcertadm
