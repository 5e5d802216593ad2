#include "commands/report_format.h"

#include <algorithm>
#include <vector>

namespace kcertadm {
namespace {

constexpr std::size_t kColonBytesPerLine = 23;
constexpr std::size_t kPrefixedBytesPerLine = 14;

struct Piece {
  std::size_t start;
  std::size_t length;
};

bool IsLineEnd(std::uint8_t c) { return c == '\r' || c == '\n'; }

// Splits a value into pieces; a CR LF pair ends one piece, a line end after
// the last piece adds none.
std::vector<Piece> SplitPieces(const std::uint8_t* bytes, std::size_t count) {
  std::vector<Piece> pieces;
  std::size_t i = 0;
  while (i < count) {
    const std::size_t start = i;
    while (i < count && i - start < kTextPieceMax && !IsLineEnd(bytes[i])) ++i;
    pieces.push_back(Piece{start, i - start});
    if (i < count && bytes[i] == '\r') {
      ++i;
      if (i < count && bytes[i] == '\n') ++i;
    } else if (i < count && bytes[i] == '\n') {
      ++i;
    }
  }
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

void WriteTextValue(std::FILE* file, const std::uint8_t* bytes, std::size_t count, int level) {
  const std::vector<Piece> pieces = SplitPieces(bytes, count);
  if (pieces.size() == 1) {
    std::fputs(" \"", file);
    std::fwrite(bytes + pieces[0].start, 1, pieces[0].length, file);
  } else {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      std::fputc('\n', file);
      WriteIndent(file, level);
      std::fputc(i == 0 ? '"' : ' ', file);
      std::fwrite(bytes + pieces[i].start, 1, pieces[i].length, file);
    }
  }
  std::fputs("\"\n", file);
}

}  // namespace kcertadm
