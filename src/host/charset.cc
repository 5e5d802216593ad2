#include "host/charset.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

namespace kcertadm {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::size_t kMaxCount = std::numeric_limits<std::uint16_t>::max();

// Collects UTF-8 output into a bounded buffer, whole characters only.
class Utf8Sink {
 public:
  // A text sink keeps one octet for the terminating NUL.
  Utf8Sink(void* out, std::size_t size, bool text)
      : out_(static_cast<std::uint8_t*>(out)),
        room_(std::min(text ? (size == 0 ? 0 : size - 1) : size, kMaxCount)),
        text_(text && size > 0) {}
  ~Utf8Sink() {
    if (text_) out_[used_] = 0;
  }
  // False once a character no longer fits; nothing more is written then.
  bool Put(char32_t c) {
    if (full_) return false;
    const std::size_t n = Utf8Length(c);
    if (room_ - used_ < n) {
      full_ = true;
      return false;
    }
    EncodeUtf8(c, out_ + used_);
    used_ += n;
    return true;
  }
  std::uint16_t Count() const { return static_cast<std::uint16_t>(used_); }

 private:
  std::uint8_t* out_;
  std::size_t room_;
  bool text_;
  bool full_ = false;
  std::size_t used_ = 0;
};

enum class Malformed { kReplace, kLatin1 };

std::uint16_t CopyUtf8(const std::uint8_t* in, std::size_t length, void* out, std::size_t size,
                       bool text, Malformed policy) {
  Utf8Sink sink(out, size, text);
  std::size_t pos = 0;
  while (pos < length) {
    char32_t c;
    if (!DecodeUtf8(in, length, &pos, &c)) {
      c = policy == Malformed::kLatin1 ? char32_t{in[pos]} : kReplacement;
      ++pos;
    }
    if (!sink.Put(c)) break;
  }
  return sink.Count();
}

std::uint16_t ReadUnit(const std::uint8_t* p) {
  std::uint16_t unit;
  std::memcpy(&unit, p, sizeof unit);  // machine order
  return unit;
}

void WriteUnit(std::uint8_t* p, std::uint16_t unit) { std::memcpy(p, &unit, sizeof unit); }

std::atomic<bool> g_tablesAvailable{true};

// Host text to ISO 8859-1 octets; every character must have one.
std::uint16_t TextToLatin1(const std::uint8_t* in, std::size_t inLength, char* out,
                           std::uint16_t* length) {
  const std::size_t room = *length;
  std::size_t used = 0;
  std::size_t pos = 0;
  while (pos < inLength) {
    char32_t c;
    if (!DecodeUtf8(in, inLength, &pos, &c)) c = in[pos++];  // already ISO 8859-1
    if (c > 0xFF || used == room) {
      *length = 0;
      return c > 0xFF ? 3 : 4;
    }
    out[used++] = static_cast<char>(c);
  }
  *length = static_cast<std::uint16_t>(used);
  return 0;
}

}  // namespace

bool DecodeUtf8(const std::uint8_t* in, std::size_t length, std::size_t* pos, char32_t* c) {
  const std::size_t at = *pos;
  const std::uint8_t lead = in[at];
  if (lead < 0x80) {
    *c = lead;
    *pos = at + 1;
    return true;
  }
  std::size_t extra;
  char32_t value;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (length - at <= extra) return false;
  for (std::size_t i = 1; i <= extra; ++i) {
    const std::uint8_t next = in[at + i];
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *c = value;
  *pos = at + 1 + extra;
  return true;
}

std::size_t Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

void EncodeUtf8(char32_t c, std::uint8_t* out) {
  switch (Utf8Length(c)) {
    case 1:
      out[0] = static_cast<std::uint8_t>(c);
      break;
    case 2:
      out[0] = static_cast<std::uint8_t>(0xC0 | (c >> 6));
      out[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      break;
    case 3:
      out[0] = static_cast<std::uint8_t>(0xE0 | (c >> 12));
      out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
      out[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      break;
    default:
      out[0] = static_cast<std::uint8_t>(0xF0 | (c >> 18));
      out[1] = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
      out[2] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
      out[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
      break;
  }
}

struct HostTranslationTable {
  int number;
};

namespace {
constexpr HostTranslationTable kT61Table{kTranslationTableT61};
}  // namespace

std::uint16_t HostUnicodeToText(const void* ucs2, std::size_t octets, char* out, std::size_t size) {
  const auto* in = static_cast<const std::uint8_t*>(ucs2);
  Utf8Sink sink(out, size, true);
  const std::size_t units = octets / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = ReadUnit(in + 2 * i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
      const char32_t low = ReadUnit(in + 2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;
    if (!sink.Put(c)) break;
  }
  return sink.Count();
}

std::uint16_t HostTextToUnicode(const char* text, std::size_t length, void* out, std::size_t size) {
  const auto* in = reinterpret_cast<const std::uint8_t*>(text);
  auto* dst = static_cast<std::uint8_t*>(out);
  const std::size_t room = std::min(size, kMaxCount) & ~std::size_t{1};
  std::size_t used = 0;
  std::size_t pos = 0;
  while (pos < length) {
    char32_t c;
    if (!DecodeUtf8(in, length, &pos, &c)) c = in[pos++];  // ISO 8859-1
    const std::size_t need = c >= 0x10000 ? 4 : 2;
    if (room - used < need) break;
    if (c >= 0x10000) {
      const char32_t v = c - 0x10000;
      WriteUnit(dst + used, static_cast<std::uint16_t>(0xD800 + (v >> 10)));
      WriteUnit(dst + used + 2, static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      WriteUnit(dst + used, static_cast<std::uint16_t>(c));
    }
    used += need;
  }
  return static_cast<std::uint16_t>(used);
}

std::uint16_t HostUtf8ToText(const std::uint8_t* utf8, std::size_t length, char* out,
                             std::size_t size) {
  return CopyUtf8(utf8, length, out, size, true, Malformed::kReplace);
}

std::uint16_t HostTextToUtf8(const char* text, std::size_t length, std::uint8_t* out,
                             std::size_t size) {
  return CopyUtf8(reinterpret_cast<const std::uint8_t*>(text), length, out, size, false,
                  Malformed::kLatin1);
}

std::uint16_t HostToNativeText(const char* text, std::size_t length, char* out, std::size_t size) {
  return CopyUtf8(reinterpret_cast<const std::uint8_t*>(text), length, out, size, true,
                  Malformed::kLatin1);
}

std::uint16_t HostTranslateText(int /*mode*/, const char* text, std::size_t length, char* out,
                                std::size_t size) {
  return CopyUtf8(reinterpret_cast<const std::uint8_t*>(text), length, out, size, true,
                  Malformed::kLatin1);
}

std::uint16_t HostOpenTranslation(int table, HostTranslationHandle* handle) {
  if (handle == nullptr) return 1;
  *handle = nullptr;
  if (table != kTranslationTableT61 || !g_tablesAvailable.load()) return 1;
  *handle = &kT61Table;
  return 0;
}

std::uint16_t HostTranslate(const std::uint8_t* in, std::size_t inLength, char* out,
                            std::uint16_t* length, int mode, HostTranslationHandle handle) {
  if (handle != &kT61Table || length == nullptr || (in == nullptr && inLength > 0) ||
      (out == nullptr && *length > 0)) {
    return 1;
  }
  if (mode == kTranslateFromHost) return TextToLatin1(in, inLength, out, length);
  if (mode != kTranslateToHost && mode != kTranslateToNative) return 2;
  // Both targets are UTF-8; each T61String octet is one ISO 8859-1 character.
  Utf8Sink sink(out, *length, true);
  for (std::size_t i = 0; i < inLength; ++i) {
    if (!sink.Put(in[i])) break;
  }
  *length = sink.Count();
  return 0;
}

void HostCloseTranslation(HostTranslationHandle /*handle*/) {}

void HostSetTranslationTablesAvailable(bool available) { g_tablesAvailable.store(available); }

}  // namespace kcertadm
