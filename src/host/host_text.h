// Text services of the host layer. Host text is UTF-8; lengths are bytes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace kcertadm {

// Compares two names (command names, parameter keywords) ignoring the
// letter case of ASCII letters; other bytes compare exactly. Returns 0 when
// equal, a negative or positive value in byte order otherwise.
int HostCompareString(std::string_view a, std::string_view b);

// As HostCompareString over at most the first `count` bytes of each text; a
// text shorter than `count` ends there, so "Key" and "KeyFile" differ over 4
// bytes but are equal over 3.
int HostCompareStringCounted(std::string_view a, std::string_view b, std::size_t count);

// Exact byte comparison (labels, language codes, file contents).
int HostCompareText(std::string_view a, std::string_view b);

// Length in bytes up to the terminating NUL; 0 for a null pointer.
std::size_t HostStringLength(const char* text);

// Bounded copy and append into a NUL-terminated buffer of `size` bytes. They
// never write past the buffer, always terminate it when size > 0, and return
// false when the source did not fit (the result is then cut).
bool HostStringCopy(char* destination, std::size_t size, std::string_view source);
bool HostStringAppend(char* destination, std::size_t size, std::string_view source);

// True when `pattern` occurs in `text` (an empty pattern always occurs).
bool HostFindString(std::string_view text, std::string_view pattern);

// Folds ASCII letters to lower case in place; other bytes are kept, so UTF-8
// sequences stay intact.
void HostFoldCase(std::string& text);
void HostFoldCase(char* text);

// printf-style formatting into a new string.
std::string HostFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string HostFormatV(const char* format, std::va_list arguments);

}  // namespace kcertadm
