// Bounded DER/BER reader: element headers, tags, children and comparisons.
#include <climits>
#include <cstring>

#include "asn1/asn1.h"
#include "asn1/asn1_bounds.h"
#include "asn1/der_reader.h"

namespace kcertadm {

Asn1Item Asn1View(const void* p, std::size_t n) noexcept {
  auto* data = static_cast<std::uint8_t*>(const_cast<void*>(p));
  if (n > static_cast<std::size_t>(INT32_MAX)) return Asn1Item{data, -1};
  return Asn1Item{data, static_cast<std::int32_t>(n)};
}

namespace asn1_internal {

// The codec follows indefinite lengths to their end-of-contents octets.
bool ReadHeaderAt(const std::uint8_t* p, const std::uint8_t* end, Header* out) noexcept {
  if (p == nullptr || end < p) return false;
  const auto element =
      der::Peek(der::View(p, static_cast<std::size_t>(end - p)), der::kFollowIndefinite);
  if (!element) return false;
  // Every size is bounded by the item or cursor that gave end, so it fits.
  out->headerSize = static_cast<std::int32_t>(element->content.data() - p);
  out->contentLength = static_cast<std::int32_t>(element->content.size());
  out->totalSize = static_cast<std::int32_t>(element->whole.size());
  return true;
}

bool ReadItemHeader(const Asn1Item& item, Header* out) noexcept {
  if (item.data == nullptr || item.length < 2) return false;
  return ReadHeaderAt(item.data, item.data + item.length, out);
}

}  // namespace asn1_internal

using asn1_internal::Header;
using asn1_internal::ReadItemHeader;

namespace {

void Advance(Asn1Item* view, std::int32_t count) noexcept {
  view->data += count;
  view->length -= count;
}

bool HasOctet(const Asn1Item& item) noexcept { return item.data != nullptr && item.length >= 1; }

}  // namespace

std::int32_t Asn1ReadHeader(const Asn1Item& element, std::int32_t* contentLength,
                            std::int32_t* totalSize) noexcept {
  Header header;
  if (!ReadItemHeader(element, &header)) return -1;
  if (contentLength != nullptr) *contentLength = header.contentLength;
  if (totalSize != nullptr) *totalSize = header.totalSize;
  return header.headerSize;
}

std::int32_t Asn1TotalSize(const Asn1Item& element) noexcept {
  Header header;
  if (!ReadItemHeader(element, &header)) return -1;
  return header.totalSize;
}

std::int32_t Asn1ExpectTag(std::uint32_t tag, Asn1Item* view, std::int32_t* totalSize) noexcept {
  if (view == nullptr || !HasOctet(*view) || view->data[0] != tag) return -1;
  std::uint32_t ignored;
  return Asn1ReadTag(&ignored, view, totalSize);
}

std::int32_t Asn1ReadTag(std::uint32_t* tag, Asn1Item* view, std::int32_t* totalSize) noexcept {
  Header header;
  if (view == nullptr || !ReadItemHeader(*view, &header)) return -1;
  if (tag != nullptr) *tag = view->data[0];
  if (totalSize != nullptr) *totalSize = header.totalSize;
  Advance(view, header.headerSize);
  return header.contentLength;
}

std::int32_t Asn1PeekTag(std::uint32_t tag, Asn1Item* item, int enter) noexcept {
  if (item == nullptr || !HasOctet(*item) || item->data[0] != tag) return 0;
  if (enter && Asn1Enter(item) < 0) return -1;
  return 1;
}

std::int32_t Asn1Enter(Asn1Item* item) noexcept {
  Header header;
  if (item == nullptr || !ReadItemHeader(*item, &header)) return -1;
  item->data += header.headerSize;
  item->length = header.contentLength;
  return header.contentLength;
}

std::int32_t Asn1FirstChild(const Asn1Item& content, std::uint32_t tag,
                            Asn1Cursor* cursor) noexcept {
  if (cursor == nullptr) return -1;
  *cursor = Asn1Cursor{};
  if ((tag & kAsn1Constructed) == 0 || !HasOctet(content)) return 0;
  cursor->pos = content.data;
  cursor->tag = tag;
  cursor->remaining = content.length;
  cursor->end = content.data + content.length;
  const std::int32_t step = Asn1NextChild(cursor);
  return step > 0 ? 1 : step;
}

std::int32_t Asn1NextChild(Asn1Cursor* cursor) noexcept {
  if (cursor == nullptr || cursor->remaining < 1) return 0;
  Header header;
  std::uint8_t* child = nullptr;
  if (cursor->end != nullptr) {
    child = cursor->end - cursor->remaining;
  }
  if (child == nullptr || !asn1_internal::ReadHeaderAt(child, cursor->end, &header)) {
    cursor->remaining = 0;
    cursor->length = 0;
    return -1;
  }
  cursor->pos = child + header.headerSize;
  cursor->length = header.contentLength;
  cursor->tag = child[0];
  cursor->remaining -= header.totalSize;
  return header.totalSize;
}

std::int32_t Asn1NextTagged(Asn1Item* source, Asn1Item* out, std::uint32_t expected) noexcept {
  if (source == nullptr || out == nullptr) return -1;
  if (!HasOctet(*source)) return 0;
  if (expected != ASN1_ANY && source->data[0] != expected) return -1;
  Header header;
  if (!ReadItemHeader(*source, &header)) return -1;
  *out = Asn1Item{source->data + header.headerSize, header.contentLength};
  Advance(source, header.totalSize);
  return 1;
}

std::int32_t Asn1MatchBytes(Asn1Item* view, const void* bytes, std::int32_t count) noexcept {
  if (count < 1) return 1;
  if (view == nullptr || bytes == nullptr) return 0;
  const auto* expected = static_cast<const std::uint8_t*>(bytes);
  for (std::int32_t i = 0; i < count; ++i) {
    if (!HasOctet(*view) || view->data[0] != expected[i]) return 0;
    Advance(view, 1);
  }
  return 1;
}

std::int32_t Asn1ItemEquals(const Asn1Item& item, const void* bytes, std::int32_t count) noexcept {
  if (count < 0 || item.length != count) return 0;
  if (count == 0) return 1;
  if (item.data == nullptr || bytes == nullptr) return 0;
  return std::memcmp(item.data, bytes, static_cast<std::size_t>(count)) == 0 ? 1 : 0;
}

std::int32_t Asn1UnwrapBitString(Asn1Item* item) noexcept {
  if (item == nullptr || !HasOctet(*item) || item->data[0] != kAsn1BitString) return -1;
  Header header;
  if (!ReadItemHeader(*item, &header)) return -1;
  if (header.contentLength < 1 || item->data[header.headerSize] != 0) return -1;
  item->data += header.headerSize + 1;
  item->length = header.contentLength - 1;
  return 0;
}

std::uint32_t Asn1SmallInteger(const Asn1Item& content) noexcept {
  if (content.data == nullptr || content.length < 1 || content.length > 4) return 0;
  std::uint32_t value = 0;
  for (std::int32_t i = 0; i < content.length; ++i) value = (value << 8) | content.data[i];
  return value;
}

}  // namespace kcertadm
