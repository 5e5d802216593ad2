// Base64 (RFC 1421 / RFC 2045 alphabet and padding).
//
// Base64EncodeItem and Base64DecodeItem are what the exports Base64Encode
// and Base64Decode of kcertadm.h run; this header adds the symbol reader
// used by the decoders and the line-broken writer used by the PEM writers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "kcertadm.h"

namespace kcertadm {

// The exported Base64Encode and Base64Decode (kcertadm.h says what they do).
std::int32_t Base64EncodeItem(const std::uint8_t* bytes, std::int32_t count,
                              Asn1Item* out) noexcept;
std::int32_t Base64DecodeItem(const char* text, std::int32_t length, Asn1Item* out) noexcept;

// Base64DecodeItem of text into out (cleared first). False for an empty
// text, one too long for an item, or one that does not decode.
[[nodiscard]] bool Base64DecodeBytes(std::string_view text, std::vector<std::uint8_t>& out);

// Symbol code of a character: "=" is 0, the alphabet A..Z a..z 0..9 + /
// gives 1..64, anything else -1.
std::int32_t Base64SymbolCode(char c) noexcept;

// Skips white space (space, tab, CR, LF), consumes one character and
// returns its symbol code 0..64; -1 at the end of the text (remaining 0), at
// a NUL, or for a character outside the alphabet.
std::int32_t Base64NextSymbol(const char** text, std::int32_t* remaining) noexcept;

// Writes the Base64 of count bytes to file in lines of 64 characters, each
// ended by a line feed; with indent set every line starts with one space.
// A count of 0 writes nothing at all. 0 on
// success, -1 when a write fails.
[[nodiscard]] std::int32_t PemWriteBase64(std::FILE* file, const std::uint8_t* bytes,
                                          std::int32_t count, int indent) noexcept;

}  // namespace kcertadm
