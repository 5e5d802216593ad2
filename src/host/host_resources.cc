#include "host/host_resources.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "host/host_settings.h"
#include "host/regular_file.h"

#ifndef KCERTADM_INSTALL_LIBDIR
#define KCERTADM_INSTALL_LIBDIR "lib"
#endif

namespace kcertadm {
namespace {

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Cuts `text` to at most `limit` bytes without splitting a character.
void CutAtCharacter(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

std::optional<std::uint32_t> ParseNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::uint32_t number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return number;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::optional<std::string> RealPath(const char* path) {
  if (path == nullptr) return std::nullopt;
  char resolved[PATH_MAX];
  if (realpath(path, resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

// The file that holds this code: the shared library, or the program that
// linked it statically.
std::vector<std::string> CodeDirectories() {
  std::vector<std::string> directories;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&HostResourceDirectories), &info) != 0 && info.dli_fname &&
      std::string_view(info.dli_fname).find('/') != std::string_view::npos) {
    if (auto path = RealPath(info.dli_fname)) directories.push_back(DirectoryOf(*path));
  }
  if (auto path = RealPath("/proc/self/exe")) directories.push_back(DirectoryOf(*path));
  return directories;
}

void AddOnce(std::vector<std::string>& list, std::string item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(std::move(item));
}

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8SequenceLength(lead);
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    if (length == 3) {
      const auto second = static_cast<unsigned char>(text[i + 1]);
      if (lead == 0xE0 && second < 0xA0) return false;  // overlong
      if (lead == 0xED && second > 0x9F) return false;  // surrogate
    }
    if (length == 4) {
      const auto second = static_cast<unsigned char>(text[i + 1]);
      if (lead == 0xF0 && second < 0x90) return false;  // overlong
      if (lead == 0xF4 && second > 0x8F) return false;  // above U+10FFFF
    }
    i += length;
  }
  return true;
}

ResourceCatalogue ResourceCatalogue::Parse(std::string_view content) {
  ResourceCatalogue catalogue;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) continue;
    const std::optional<std::uint32_t> number = ParseNumber(line.substr(0, blank));
    const std::string_view text = line.substr(blank + 1);
    if (!number || text.empty() || !IsValidUtf8(text)) continue;
    if (catalogue.texts_.count(*number) != 0) continue;
    std::string kept(text);
    CutAtCharacter(kept, kMaxTextLength);
    catalogue.texts_.emplace(*number, std::move(kept));
  }
  return catalogue;
}

std::optional<ResourceCatalogue> ResourceCatalogue::Load(const std::string& path) {
  std::string content;
  if (ReadRegularFile(path, kMaxFileSize, content) != FileReadStatus::kOk) return std::nullopt;
  return Parse(content);
}

std::optional<std::string_view> ResourceCatalogue::Text(std::uint32_t number) const {
  const auto found = texts_.find(number);
  if (found == texts_.end()) return std::nullopt;
  return std::string_view(found->second);
}

std::vector<std::string> HostResourceDirectories() {
  const std::optional<std::string> chosen = HostReadSetting("KCERTADM_MSG_DIR");
  if (chosen && !chosen->empty()) return {*chosen};

  const std::string libdir = KCERTADM_INSTALL_LIBDIR;
  std::vector<std::string> directories;
  for (const std::string& code : CodeDirectories()) {
    AddOnce(directories, HostJoinPath(code, "kcertadm"));
    const std::string installed = (!libdir.empty() && libdir.front() == '/')
                                      ? libdir
                                      : HostJoinPath(DirectoryOf(code), libdir);
    AddOnce(directories, HostJoinPath(installed, "kcertadm"));
  }
#ifdef KCERTADM_MSG_BUILD_DIR
  AddOnce(directories, KCERTADM_MSG_BUILD_DIR);
#endif
  return directories;
}

std::optional<std::string> HostFindResourceFile(std::string_view name) {
  for (const std::string& directory : HostResourceDirectories()) {
    std::string path = HostJoinPath(directory, name);
    if (IsRegularFile(path)) return path;
  }
  return std::nullopt;
}

}  // namespace kcertadm
