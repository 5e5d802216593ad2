// The building blocks of the text reports: indents, the two hex dump forms
// and quoted text values. Everything is written with stdio to an open file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kcertadm {

// Indent of level n: 2 x n blanks, at most this many.
inline constexpr int kReportMaxIndent = 80;

// Colon form: 23 bytes a line as "%02X" joined by ":" ("AB:CD:EF").
// Prefixed form: 14 bytes a line, each as "0x%02X " ("0xAB 0xCD ").
enum class HexForm { kColon, kPrefixed };

// Text values are cut into pieces of at most this many characters.
inline constexpr std::size_t kTextPieceMax = 70;

void WriteIndent(std::FILE* file, int level);

// Bytes that fit on one line follow directly; otherwise every line starts
// with a line end and the indent of level. Ends with a line end (an empty
// value gives only the line end).
void WriteHexDump(std::FILE* file, const std::uint8_t* bytes, std::size_t count, int level,
                  HexForm form);

// A quoted text value, cut into pieces at 70 characters and at CR, LF or
// CR LF. One piece: blank, quote, piece. Several: each on its own line at
// the indent of level, the first after a quote, the later ones after a
// blank. Then the closing quote and a line end. An empty value is a quote
// and a line end.
void WriteTextValue(std::FILE* file, const std::uint8_t* bytes, std::size_t count, int level);

}  // namespace kcertadm
