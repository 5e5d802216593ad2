// Character services of the host layer.
//
// The host character set (HCSET) and the native character set are both
// UTF-8 here. Every service takes a source and its length in octets and an
// output buffer with its size, writes whole characters only and returns the
// number of octets written (a 16-bit count). Services that produce text
// write at most size - 1 octets and always add a NUL when size > 0; those
// that produce certificate octets (UCS-2, UTF-8) may fill all of size and
// add no terminator. Nothing is ever written past size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kcertadm {

// Reads one UTF-8 character at in[*pos] (pos < length). Returns false
// (consuming nothing) when the octets there are not a well-formed,
// shortest-form sequence of a scalar value.
bool DecodeUtf8(const std::uint8_t* in, std::size_t length, std::size_t* pos, char32_t* c);

// Octets of the UTF-8 form of a scalar value, and that form written to out.
std::size_t Utf8Length(char32_t c);
void EncodeUtf8(char32_t c, std::uint8_t* out);

// UCS-2 in machine order (octet count) to host text. Surrogate pairs are
// joined; a lone surrogate becomes U+FFFD.
std::uint16_t HostUnicodeToText(const void* ucs2, std::size_t octets, char* out, std::size_t size);

// Host text to UCS-2 in machine order; characters above U+FFFF become
// surrogate pairs. Returns octets written; no terminator is added (the
// output is binary).
std::uint16_t HostTextToUnicode(const char* text, std::size_t length, void* out, std::size_t size);

// UTF-8 from a certificate to host text; malformed sequences become U+FFFD.
std::uint16_t HostUtf8ToText(const std::uint8_t* utf8, std::size_t length, char* out,
                             std::size_t size);

// Host text to UTF-8 for a certificate. Octets that do not form UTF-8 are
// taken as ISO 8859-1 characters, so that no typed letter is lost. No
// terminator is added (the output is binary).
std::uint16_t HostTextToUtf8(const char* text, std::size_t length, std::uint8_t* out,
                             std::size_t size);

// Host text to native text (the same encoding: a checked copy).
std::uint16_t HostToNativeText(const char* text, std::size_t length, char* out, std::size_t size);

// Text from a resource (message catalogue) into host text. Mode 1 is the
// only mode in use; every mode copies, repairing malformed UTF-8 as
// ISO 8859-1.
std::uint16_t HostTranslateText(int mode, const char* text, std::size_t length, char* out,
                                std::size_t size);

// Translation tables. Table 32 maps T61String octets, read as ISO 8859-1,
// to host text (mode kTranslateToHost) or to native text
// (kTranslateToNative), and host text back to T61String octets
// (kTranslateFromHost; binary output without terminator, status 3 and
// length 0 when a character has no octet in the table). Statuses are
// 16-bit, 0 meaning success.
inline constexpr int kTranslationTableT61 = 32;
inline constexpr int kTranslateFromHost = 0x01;
inline constexpr int kTranslateToHost = 0x08;
inline constexpr int kTranslateToNative = 0x80;

struct HostTranslationTable;
using HostTranslationHandle = const HostTranslationTable*;

std::uint16_t HostOpenTranslation(int table, HostTranslationHandle* handle);
// *length holds the output size on entry and the octets written on return.
// The output is NUL-terminated when there is room.
std::uint16_t HostTranslate(const std::uint8_t* in, std::size_t inLength, char* out,
                            std::uint16_t* length, int mode, HostTranslationHandle handle);
void HostCloseTranslation(HostTranslationHandle handle);

// A host may run without translation tables; opening then fails. Tables are
// available by default.
void HostSetTranslationTablesAvailable(bool available);

}  // namespace kcertadm
