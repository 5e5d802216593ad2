// Conversions between certificate string types and host or native text.
// The mappings themselves belong to the host character services; this unit
// chooses the service, fixes byte order and bounds every buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kcertadm.h"

namespace kcertadm {

// Size of every intermediate conversion buffer, and the room offered to a
// host service inside it.
inline constexpr std::size_t kConversionBufferSize = 392;
inline constexpr std::size_t kConversionRoom = 385;

// Swaps the two octets of each 16-bit unit of count octets from in to out
// (which may be the same buffer); an odd final octet is ignored. Returns the
// number of octets written (count rounded down to even).
std::size_t SwapUcs2(const std::uint8_t* in, std::size_t count, std::uint8_t* out);

// Host text of length octets into the configured international string type
// (IntlStringEncoding()). value receives a new malloc block with the octets,
// their length, the tag and owned = 1. T61String octets are ISO 8859-1; a
// value with a character beyond ISO 8859-1 becomes UTF8String instead. When the conversion produces
// nothing, value keeps text with length 0, not owned; when the allocation fails, value is {nullptr,
// 0}. Returns the length.
std::int32_t ConvertIntlString(const char* text, std::size_t length, DnValue* value);

// Certificate strings into native text for reports. Each writes at most
// outSize - 1 octets plus a NUL and returns the text length, 0 when the
// conversion produced nothing.
std::uint16_t Utf8ToDisplay(const std::uint8_t* in, std::size_t length, char* out,
                            std::size_t outSize);
std::uint16_t BmpToDisplay(const std::uint8_t* in, std::size_t length, char* out,
                           std::size_t outSize);
std::uint16_t T61ToDisplay(const std::uint8_t* in, std::size_t length, char* out,
                           std::size_t outSize);

// T61String octets through translation table 32 in the given mode
// (kTranslateToHost or kTranslateToNative). Returns the length the host
// left, or 0 when the table cannot be opened or translation fails.
std::uint16_t T61Translate(const std::uint8_t* in, std::size_t length, char* out,
                           std::size_t outSize, int mode);

// The exported BMPToHCSET and T61ToHCSET (kcertadm.h says what they do).
std::uint16_t BmpToHostText(const std::uint8_t* bmp, std::int32_t length, char* out,
                            std::int32_t outSize);
std::uint16_t T61ToHostText(const std::uint8_t* t61, std::int32_t length, char* out,
                            std::int32_t outSize);

}  // namespace kcertadm
