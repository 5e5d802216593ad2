#include "host/host_text.h"

#include <cstdio>
#include <cstring>

namespace kcertadm {
namespace {

unsigned char LowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const int ca = LowerAscii(static_cast<unsigned char>(a[i]));
    const int cb = LowerAscii(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int HostCompareString(std::string_view a, std::string_view b) { return CompareFolded(a, b); }

int HostCompareStringCounted(std::string_view a, std::string_view b, std::size_t count) {
  return CompareFolded(a.substr(0, count), b.substr(0, count));
}

int HostCompareText(std::string_view a, std::string_view b) {
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::size_t HostStringLength(const char* text) { return text ? std::strlen(text) : 0; }

bool HostStringCopy(char* destination, std::size_t size, std::string_view source) {
  if (destination == nullptr || size == 0) return false;
  destination[0] = '\0';
  return HostStringAppend(destination, size, source);
}

bool HostStringAppend(char* destination, std::size_t size, std::string_view source) {
  if (destination == nullptr || size == 0) return false;
  const std::size_t used = strnlen(destination, size - 1);
  const std::size_t room = size - 1 - used;
  const std::size_t copied = source.size() < room ? source.size() : room;
  std::memcpy(destination + used, source.data(), copied);
  destination[used + copied] = '\0';
  return copied == source.size();
}

bool HostFindString(std::string_view text, std::string_view pattern) {
  return text.find(pattern) != std::string_view::npos;
}

void HostFoldCase(std::string& text) {
  for (char& c : text) c = static_cast<char>(LowerAscii(static_cast<unsigned char>(c)));
}

void HostFoldCase(char* text) {
  if (text == nullptr) return;
  for (; *text; ++text) *text = static_cast<char>(LowerAscii(static_cast<unsigned char>(*text)));
}

std::string HostFormatV(const char* format, std::va_list arguments) {
  std::va_list measure;
  va_copy(measure, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::string result(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(result.data(), result.size(), format, arguments);
  result.resize(static_cast<std::size_t>(length));
  return result;
}

std::string HostFormat(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::string result = HostFormatV(format, arguments);
  va_end(arguments);
  return result;
}

}  // namespace kcertadm
