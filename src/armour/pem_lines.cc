// Line reading and the two line comparisons of the strict PEM readers.
#include "armour/pem.h"

namespace kcertadm {
namespace {

char FoldLetter(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Advances i past blanks; true while a character is left.
bool SkipBlanks(std::string_view text, std::size_t& i) {
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i < text.size();
}

}  // namespace

bool PemReadLine(std::FILE* file, std::string& line) {
  line.clear();
  int c = EOF;
  bool readAny = false;
  while (line.size() < kPemLinePiece && (c = std::fgetc(file)) != EOF) {
    readAny = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!readAny) return false;
  // A piece cut at the limit leaves the rest of the line, and its line
  // feed, to the next read.
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return true;
}

bool PemLineEquals(std::string_view line, std::string_view constant) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (true) {
    const bool lineLeft = SkipBlanks(line, i);
    const bool constantLeft = SkipBlanks(constant, j);
    if (!lineLeft || !constantLeft) return lineLeft == constantLeft;
    if (FoldLetter(line[i]) != FoldLetter(constant[j])) return false;
    ++i;
    ++j;
  }
}

bool PemPrefixEquals(std::string_view line, std::string_view prefix, std::size_t n) {
  if (line.size() < n || prefix.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (FoldLetter(line[i]) != FoldLetter(prefix[i])) return false;
  }
  return true;
}

}  // namespace kcertadm
