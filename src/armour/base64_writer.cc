// Line-broken Base64 for the PEM writers.
#include <cstring>

#include "armour/base64.h"
#include "armour/base64_alphabet.h"

namespace kcertadm {

namespace {

constexpr std::int32_t kGroupsPerLine = 16;
constexpr std::int32_t kOctetsPerLine = kGroupsPerLine * 3;

}  // namespace

std::int32_t PemWriteBase64(std::FILE* file, const std::uint8_t* bytes, std::int32_t count,
                            int indent) noexcept {
  if (file == nullptr || count < 0 || (count > 0 && bytes == nullptr)) return -1;
  // One line: the optional space, 64 characters and the line feed.
  char line[1 + kGroupsPerLine * 4 + 1];
  for (std::int32_t offset = 0; offset < count; offset += kOctetsPerLine) {
    std::size_t used = 0;
    if (indent) line[used++] = ' ';
    const std::int32_t lineEnd = count - offset < kOctetsPerLine ? count : offset + kOctetsPerLine;
    for (std::int32_t group = offset; group < lineEnd; group += 3) {
      Base64EncodeGroup(bytes + group, lineEnd - group, line + used);
      used += 4;
    }
    line[used++] = '\n';
    if (std::fwrite(line, 1, used, file) != used) return -1;
  }
  return 0;
}

}  // namespace kcertadm
