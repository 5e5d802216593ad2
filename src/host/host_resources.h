// Numbered text resources (the message catalogues) and where they live.
//
// A catalogue is a UTF-8 text file with one text per line, written as the
// decimal number, one blank and the text. Blank lines and lines that start
// with "#" are skipped. A line that is malformed, holds invalid UTF-8 or a
// number given before is skipped; the other lines still count.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kcertadm {

class ResourceCatalogue {
 public:
  // Longest text kept, in bytes; longer texts are cut at a character
  // boundary.
  static constexpr std::size_t kMaxTextLength = 1023;
  // Larger files are not catalogues and are refused.
  static constexpr std::size_t kMaxFileSize = 1 << 20;

  // None when the file cannot be read or is too large.
  static std::optional<ResourceCatalogue> Load(const std::string& path);
  static ResourceCatalogue Parse(std::string_view content);

  // The text of `number`, or none when the catalogue has no such line.
  std::optional<std::string_view> Text(std::uint32_t number) const;
  std::size_t size() const { return texts_.size(); }

 private:
  std::map<std::uint32_t, std::string> texts_;
};

// The directories searched for catalogues, in order: KCERTADM_MSG_DIR alone
// when it is set; otherwise "kcertadm" beside the loaded library, the
// library directory of the installation that holds the running program, and
// the catalogue folder of the source tree the library was built from.
std::vector<std::string> HostResourceDirectories();

// The first existing regular file called `name` in those directories.
std::optional<std::string> HostFindResourceFile(std::string_view name);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace kcertadm
