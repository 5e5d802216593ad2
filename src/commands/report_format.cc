#include "commands/report_format.h"

#include <algorithm>
#include <vector>

#include "host/charset.h"

namespace kcertadm {
namespace {

constexpr std::size_t kColonBytesPerLine = 23;
constexpr std::size_t kPrefixedBytesPerLine = 14;

// Code points written as escapes although they are valid UTF-8: they end
// lines for some readers, or reorder what a reader sees.
bool IsHiddenControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == '\\';
}

// Octets of the character or escape that starts at text[at].
std::size_t UnitLength(const std::string& text, std::size_t at) {
  if (text[at] == '\\') return 4;
  const auto lead = static_cast<std::uint8_t>(text[at]);
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The escaped text cut into pieces of at most kTextPieceMax characters.
std::vector<std::string> SplitPieces(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t octets = UnitLength(text, at);
    const std::size_t unitWidth = text[at] == '\\' ? 4 : 1;
    if (width + unitWidth > kTextPieceMax) {
      pieces.push_back(text.substr(start, at - start));
      start = at;
      width = 0;
    }
    width += unitWidth;
    at += octets;
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

void WriteHexLine(std::FILE* file, const std::uint8_t* bytes, std::size_t count, HexForm form) {
  for (std::size_t i = 0; i < count; ++i) {
    if (form == HexForm::kPrefixed) {
      std::fprintf(file, "0x%02X ", bytes[i]);
    } else {
      std::fprintf(file, i + 1 < count ? "%02X:" : "%02X", bytes[i]);
    }
  }
}

}  // namespace

void WriteIndent(std::FILE* file, int level) {
  const int blanks = std::clamp(2 * level, 0, kReportMaxIndent);
  std::fprintf(file, "%*s", blanks, "");
}

void WriteHexDump(std::FILE* file, const std::uint8_t* bytes, std::size_t count, int level,
                  HexForm form) {
  const std::size_t perLine =
      form == HexForm::kPrefixed ? kPrefixedBytesPerLine : kColonBytesPerLine;
  if (count <= perLine) {
    WriteHexLine(file, bytes, count, form);
  } else {
    for (std::size_t offset = 0; offset < count; offset += perLine) {
      std::fputc('\n', file);
      WriteIndent(file, level);
      WriteHexLine(file, bytes + offset, std::min(perLine, count - offset), form);
    }
  }
  std::fputc('\n', file);
}

std::string OctetEscapes(const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    out += "\\x";
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 0x0F];
  }
  return out;
}

std::string EscapeReportText(const std::uint8_t* bytes, std::size_t count) {
  std::string out;
  out.reserve(count);
  std::size_t pos = 0;
  while (pos < count) {
    const std::size_t start = pos;
    char32_t c = 0;
    if (!DecodeUtf8(bytes, count, &pos, &c)) {
      out += OctetEscapes(bytes + pos, 1);
      ++pos;
    } else if (IsHiddenControl(c)) {
      out += OctetEscapes(bytes + start, pos - start);
    } else {
      out.append(reinterpret_cast<const char*>(bytes + start), pos - start);
    }
  }
  return out;
}

std::string EscapeReportText(std::string_view text) {
  return EscapeReportText(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void WriteTextValue(std::FILE* file, const std::uint8_t* bytes, std::size_t count, int level) {
  const std::vector<std::string> pieces = SplitPieces(EscapeReportText(bytes, count));
  if (pieces.size() == 1) {
    std::fputs(" \"", file);
    std::fputs(pieces[0].c_str(), file);
  } else {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      std::fputc('\n', file);
      WriteIndent(file, level);
      std::fputc(i == 0 ? '"' : ' ', file);
      std::fputs(pieces[i].c_str(), file);
    }
  }
  std::fputs("\"\n", file);
}

}  // namespace kcertadm
