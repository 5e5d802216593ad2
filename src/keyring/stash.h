// The stash file: the key ring password kept, masked, beside the key ring so
// that the server can open it unattended. Its protection is its file mode.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/secure_memory.h"

namespace kcertadm {

inline constexpr std::size_t kStashBlockSize = 129;
inline constexpr std::size_t kStashPasswordMax = 128;
inline constexpr unsigned char kStashMask = 0x9D;

// keyfile.kyr -> keyfile.sth; keys.data -> keys.data.sth; master -> master.sth;
// ./r1 -> ./r1.sth: the extension is looked for in the last path component.
std::string StashFileName(std::string_view keyRingPath);

// 0; 1 empty path; 7 the password does not fit the block (nothing written)
// or the file cannot be written. The file is replaced only when complete.
[[nodiscard]] int StashWrite(std::string_view keyRingPath, std::string_view password);

// The stashed password, or none (empty path, no file, not a regular file,
// short file, no terminator in the block).
std::optional<SecureString> StashRead(std::string_view keyRingPath);

}  // namespace kcertadm
