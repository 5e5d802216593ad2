#include "keyring/stash.h"

#include <algorithm>
#include <array>

#include "host/regular_file.h"
#include "keyring/file_replace.h"

namespace kcertadm {

std::string StashFileName(std::string_view keyRingPath) {
  std::string name(keyRingPath);
  // Only the last path component can have an extension: the dot of
  // "./r1" or "ca.d/a" belongs to a directory.
  const std::size_t slash = name.rfind('/');
  const std::size_t componentSize =
      slash == std::string::npos ? name.size() : name.size() - slash - 1;
  const std::size_t look = std::min<std::size_t>(4, componentSize);
  for (std::size_t i = 1; i <= look; ++i) {
    std::size_t pos = name.size() - i;
    if (name[pos] == '.') return name.substr(0, pos + 1) + "sth";
  }
  return name + ".sth";
}

int StashWrite(std::string_view keyRingPath, std::string_view password) {
  if (keyRingPath.empty()) return 1;
  if (password.size() > kStashPasswordMax) return 7;
  SecureBytes block(kStashBlockSize);
  for (std::size_t i = 0; i < kStashBlockSize; ++i) block[i] = static_cast<std::uint8_t>(i);
  std::copy(password.begin(), password.end(), block.begin());
  block[password.size()] = 0;
  for (auto& b : block) b ^= kStashMask;
  bool written = ReplaceFileContents(StashFileName(keyRingPath), [&](FileWriter& out) {
    return out.Write(block.data(), block.size());
  });
  return written ? 0 : 7;
}

std::optional<SecureString> StashRead(std::string_view keyRingPath) {
  if (keyRingPath.empty()) return std::nullopt;
  std::array<std::uint8_t, kStashBlockSize> block{};
  WipeOnExit wipe(block);
  // Read straight into the block: a stdio buffer would keep a copy of it
  // in memory the C library releases without wiping.
  RegularFile file(StashFileName(keyRingPath));
  if (file.Read(block.data(), block.size()) != block.size()) return std::nullopt;
  for (auto& b : block) b ^= kStashMask;
  auto end = std::find(block.begin(), block.end(), std::uint8_t{0});
  if (end == block.end()) return std::nullopt;
  return SecureString(block.begin(), end);
}

}  // namespace kcertadm
