// The building blocks of the text reports: indents, the two hex dump forms
// and quoted text values. Everything is written with stdio to an open file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

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

// The report form of a value, which never starts a line of its own: valid
// UTF-8 stays as it is, while control characters (C0 with CR and LF, DEL,
// C1), the line and paragraph separators U+2028 and U+2029, the
// bidirectional controls U+202A-U+202E and U+2066-U+2069, the backslash and
// every octet that is not part of valid UTF-8 become "\xNN", one per octet
// (upper-case hex).
std::string EscapeReportText(const std::uint8_t* bytes, std::size_t count);
std::string EscapeReportText(std::string_view text);

// Every octet as "\\xNN", for octets that belong to no character.
std::string OctetEscapes(const std::uint8_t* bytes, std::size_t count);

// A quoted text value in its report form, cut into pieces of at most 70
// characters (an escape counts its four, and is never cut). One piece:
// blank, quote, piece. Several: each on its own line at the indent of level,
// the first after a quote, the later ones after a blank. Then the closing
// quote and a line end. An empty value is a quote and a line end.
void WriteTextValue(std::FILE* file, const std::uint8_t* bytes, std::size_t count, int level);

}  // namespace kcertadm
