// DER builder: every element is one malloc block holding header and content.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/der_append.h"
#include "base/secure_memory.h"

namespace kcertadm {

namespace {

// The largest content whose element still fits a signed 32-bit length.
constexpr std::int64_t kMaxContent = INT32_MAX - 6;

std::int32_t Fail(Asn1Item* out) noexcept {
  if (out != nullptr) *out = Asn1Item{nullptr, 0};
  return -1;
}

// Allocates an element with the given content length and writes its header.
// Returns the start of the content area, or null.
std::uint8_t* StartElement(Asn1Item* element, std::uint32_t tag,
                           std::int64_t contentLength) noexcept {
  if (contentLength < 0 || contentLength > kMaxContent) return nullptr;
  const auto content = static_cast<std::int32_t>(contentLength);
  const std::int32_t headerSize = DerHeaderSize(content);
  auto* block =
      static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(headerSize) + content));
  if (block == nullptr) return nullptr;
  DerWriteHeader(block, tag, headerSize, content);
  *element = Asn1Item{block, headerSize + content};
  return block + headerSize;
}

bool ReadableItem(const Asn1Item& item) noexcept {
  return item.length == 0 || (item.length > 0 && item.data != nullptr);
}

}  // namespace

std::int32_t DerHeaderSize(std::int32_t contentLength) noexcept {
  if (contentLength < 128) return 2;
  if (contentLength < 256) return 3;
  if (contentLength < 65536) return 4;
  if (contentLength < 16777216) return 5;
  return 6;
}

void DerWriteHeader(std::uint8_t* buffer, std::uint32_t tag, std::int32_t headerSize,
                    std::int32_t contentLength) noexcept {
  buffer[0] = static_cast<std::uint8_t>(tag);
  if (headerSize <= 2) {
    buffer[1] = static_cast<std::uint8_t>(contentLength);
    return;
  }
  const std::int32_t octets = headerSize - 2;
  buffer[1] = static_cast<std::uint8_t>(0x80 + octets);
  auto value = static_cast<std::uint32_t>(contentLength);
  for (std::int32_t i = octets; i >= 1; --i) {
    buffer[1 + i] = static_cast<std::uint8_t>(value);
    value >>= 8;
  }
}

std::int32_t DerEmpty(Asn1Item* out, std::uint32_t tag) noexcept {
  return DerPrimitive(out, tag, nullptr, 0);
}

std::int32_t DerConstructedList(Asn1Item* out, std::uint32_t tagNumber,
                                const Asn1Item* const* items, std::size_t count) noexcept {
  if (out == nullptr || (count > 0 && items == nullptr)) return Fail(out);
  std::size_t listed = 0;
  std::int64_t sum = 0;
  for (; listed < count && items[listed] != nullptr; ++listed) {
    if (!ReadableItem(*items[listed])) return Fail(out);
    sum += items[listed]->length;
    if (sum > kMaxContent) return Fail(out);
  }
  Asn1Item element;
  std::uint8_t* content = StartElement(&element, tagNumber | kAsn1Constructed, sum);
  if (content == nullptr) return Fail(out);
  for (std::size_t i = 0; i < listed; ++i) {
    if (items[i]->length == 0) continue;
    std::memcpy(content, items[i]->data, static_cast<std::size_t>(items[i]->length));
    content += items[i]->length;
  }
  *out = element;
  return 0;
}

std::int32_t DerPrimitive(Asn1Item* out, std::uint32_t tag, const void* bytes,
                          std::int32_t count) noexcept {
  if (out == nullptr || count < 0 || (count > 0 && bytes == nullptr)) return Fail(out);
  Asn1Item element;
  std::uint8_t* content = StartElement(&element, tag, count);
  if (content == nullptr) return Fail(out);
  if (count > 0) std::memcpy(content, bytes, static_cast<std::size_t>(count));
  *out = element;
  return 0;
}

std::int32_t DerWrap(Asn1Item* out, std::uint32_t tag, const Asn1Item& item) noexcept {
  if (!ReadableItem(item)) return Fail(out);
  return DerPrimitive(out, tag, item.data, item.length);
}

std::int32_t DerCopy(Asn1Item* out, der::View element) noexcept {
  if (out == nullptr || element.empty() || element.size() > static_cast<std::size_t>(INT32_MAX))
    return Fail(out);
  auto* block = static_cast<std::uint8_t*>(std::malloc(element.size()));
  if (block == nullptr) return Fail(out);
  std::memcpy(block, element.data(), element.size());
  *out = Asn1Item{block, static_cast<std::int32_t>(element.size())};
  return 0;
}

std::int32_t DerInteger(Asn1Item* out, std::uint32_t value) noexcept {
  const std::uint8_t number[4] = {
      static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
      static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  try {
    std::vector<std::uint8_t> encoded;
    der::AppendUnsignedInteger(encoded, number);
    return DerCopy(out, encoded);
  } catch (const std::exception&) {
    return Fail(out);
  }
}

std::int32_t DerBitString(Asn1Item* out, const void* bytes, std::int32_t count) noexcept {
  if (out == nullptr || count < 0 || (count > 0 && bytes == nullptr)) return Fail(out);
  Asn1Item element;
  std::uint8_t* content = StartElement(&element, kAsn1BitString, std::int64_t{count} + 1);
  if (content == nullptr) return Fail(out);
  content[0] = 0x00;  // no unused bits
  if (count > 0) std::memcpy(content + 1, bytes, static_cast<std::size_t>(count));
  *out = element;
  return 0;
}

void DerFree(Asn1Item* item) noexcept {
  if (item == nullptr) return;
  if (item->data != nullptr) {
    if (item->length > 0) SecureWipe(item->data, static_cast<std::size_t>(item->length));
    std::free(item->data);
  }
  *item = Asn1Item{nullptr, 0};
}

void DerFreeItems(Asn1Item* items, std::size_t count) noexcept {
  if (items == nullptr) return;
  for (std::size_t i = 0; i < count; ++i) DerFree(&items[i]);
}

}  // namespace kcertadm
