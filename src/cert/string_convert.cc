#include "cert/string_convert.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "asn1/asn1.h"
#include "base/library_state.h"
#include "base/secure_memory.h"
#include "host/charset.h"

namespace kcertadm {
namespace {

// BMP octets in certificate order into the machine order of the host's
// Unicode services, cut to the conversion buffer.
std::size_t SwapIntoBuffer(const std::uint8_t* in, std::size_t length,
                           std::uint8_t (&buffer)[kConversionBufferSize]) {
  if (in == nullptr) return 0;
  return SwapUcs2(in, std::min(length, sizeof buffer), buffer);
}

// Host text into T61String octets through table 32; 0 when the table is
// missing or a character has no octet.
std::size_t T61FromText(const char* text, std::size_t length,
                        std::uint8_t (&buffer)[kConversionBufferSize]) {
  HostTranslationHandle table = nullptr;
  if (HostOpenTranslation(kTranslationTableT61, &table) != 0) return 0;
  std::uint16_t written = kConversionRoom;
  const std::uint16_t status =
      HostTranslate(reinterpret_cast<const std::uint8_t*>(text), length,
                    reinterpret_cast<char*>(buffer), &written, kTranslateFromHost, table);
  HostCloseTranslation(table);
  return status == 0 ? written : 0;
}

std::uint16_t Clamp16(std::size_t n) {
  return static_cast<std::uint16_t>(
      std::min<std::size_t>(n, std::numeric_limits<std::uint16_t>::max()));
}

}  // namespace

std::size_t SwapUcs2(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
  const std::size_t even = count & ~std::size_t{1};
  for (std::size_t i = 0; i < even; i += 2) {
    const std::uint8_t first = in[i];
    out[i] = in[i + 1];
    out[i + 1] = first;
  }
  return even;
}

std::int32_t ConvertIntlString(const char* text, std::size_t length, DnValue* value) {
  int tag = IntlStringEncoding();
  std::uint8_t buffer[kConversionBufferSize];
  std::size_t produced = 0;
  switch (tag) {
    case kAsn1BmpString: {
      produced = HostTextToUnicode(text, length, buffer, kConversionRoom);
      SwapUcs2(buffer, produced, buffer);
      break;
    }
    case kAsn1T61String:
      // T61String octets are read as ISO 8859-1 here and by other tools, so
      // they are written that way; a value with a character beyond it is
      // kept whole as UTF8String instead.
      produced = T61FromText(text, length, buffer);
      if (produced == 0 && length > 0) {
        tag = kAsn1Utf8String;
        produced = HostTextToUtf8(text, length, buffer, kConversionRoom);
      }
      break;
    default:
      produced = HostTextToUtf8(text, length, buffer, kConversionRoom);
      break;
  }
  value->stringTag = tag;
  value->owned = 0;
  value->length = 0;
  if (produced == 0) {
    value->bytes = reinterpret_cast<std::uint8_t*>(const_cast<char*>(text));
    return 0;
  }
  auto* block = static_cast<std::uint8_t*>(std::malloc(produced));
  if (block == nullptr) {
    value->bytes = nullptr;
    return 0;
  }
  std::memcpy(block, buffer, produced);
  value->bytes = block;
  value->length = static_cast<std::int32_t>(produced);
  value->owned = 1;
  return value->length;
}

std::uint16_t Utf8ToDisplay(const std::uint8_t* in, std::size_t length, char* out,
                            std::size_t outSize) {
  char text[kConversionBufferSize];
  const std::uint16_t n = HostUtf8ToText(in, length, text, kConversionRoom);
  if (n == 0) return 0;
  return HostToNativeText(text, n, out, outSize);
}

std::uint16_t BmpToDisplay(const std::uint8_t* in, std::size_t length, char* out,
                           std::size_t outSize) {
  std::uint8_t swapped[kConversionBufferSize];
  const std::size_t units = SwapIntoBuffer(in, length, swapped);
  char text[kConversionBufferSize];
  const std::uint16_t n = HostUnicodeToText(swapped, units, text, kConversionRoom);
  if (n == 0) return 0;
  return HostToNativeText(text, n, out, outSize);
}

std::uint16_t T61ToDisplay(const std::uint8_t* in, std::size_t length, char* out,
                           std::size_t outSize) {
  return T61Translate(in, length, out, outSize, kTranslateToNative);
}

std::uint16_t T61Translate(const std::uint8_t* in, std::size_t length, char* out,
                           std::size_t outSize, int mode) {
  HostTranslationHandle table = nullptr;
  if (HostOpenTranslation(kTranslationTableT61, &table) != 0) return 0;
  std::uint16_t written = Clamp16(outSize);
  const std::uint16_t status = HostTranslate(in, length, out, &written, mode, table);
  HostCloseTranslation(table);
  return status == 0 ? written : 0;
}

}  // namespace kcertadm

std::uint16_t kcertadm::BmpToHostText(const std::uint8_t* bmp, std::int32_t length, char* out,
                                      std::int32_t outSize) {
  if (out == nullptr || outSize < 1 || length < 0) return 0;
  std::uint8_t swapped[kcertadm::kConversionBufferSize];
  const std::size_t units =
      bmp == nullptr
          ? 0
          : kcertadm::SwapUcs2(bmp, std::min<std::size_t>(length, sizeof swapped), swapped);
  return kcertadm::HostUnicodeToText(swapped, units, out, static_cast<std::size_t>(outSize));
}

std::uint16_t kcertadm::T61ToHostText(const std::uint8_t* t61, std::int32_t length, char* out,
                                      std::int32_t outSize) {
  if (out == nullptr || outSize < 1 || length < 0 || (t61 == nullptr && length > 0)) return 0;
  return kcertadm::T61Translate(t61, static_cast<std::size_t>(length), out,
                                static_cast<std::size_t>(outSize), kcertadm::kTranslateToHost);
}
