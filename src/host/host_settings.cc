#include "host/host_settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/host_text.h"

namespace kcertadm {

std::optional<std::string> HostReadSetting(const char* name) {
  if (name == nullptr) return std::nullopt;
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool HostReadSetting(const char* name, char* buffer, std::size_t size) {
  const std::optional<std::string> value = HostReadSetting(name);
  if (!value) return false;
  HostStringCopy(buffer, size, *value);
  return true;
}

std::int32_t HostReadSettingNumber(const char* name, std::int32_t fallback) {
  const std::optional<std::string> value = HostReadSetting(name);
  if (!value || value->empty()) return fallback;
  const char* text = value->c_str();
  char* end = nullptr;
  errno = 0;
  const long long number = std::strtoll(text, &end, 10);
  if (end == text || errno == ERANGE) return fallback;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return fallback;
  if (number < INT32_MIN || number > INT32_MAX) return fallback;
  return static_cast<std::int32_t>(number);
}

std::string HostGetDataDirectory() {
  std::string directory = HostReadSetting("KCERTADM_DATA_DIR").value_or(std::string());
  if (directory.empty()) return ".";
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

std::string HostJoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (path.empty()) return std::string(name);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace kcertadm
