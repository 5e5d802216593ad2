// DER reader and builder.
//
// Reader: every element is an Asn1Item, a pointer into the caller's buffer
// and a length; nothing is copied and nothing is allocated (except by
// Asn1SplitSequences). The length of an item is also the end of what may be
// read through it: an item that starts at a tag may be longer than the
// element (the rest of the enclosing buffer), but no operation ever looks
// past data + length, and an element whose header or content would reach
// past it is malformed (-1). Indefinite (BER) lengths are accepted on input
// with a bounded nesting depth.
//
// Builder: every Der* function fills an Asn1Item with a fresh malloc block
// holding one complete DER element, built bottom-up from already encoded
// children. A failed allocation leaves the out item empty and returns -1.
//
// Tags are single octets: class, constructed bit and number compared whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "asn1/der_reader.h"
#include "kcertadm.h"

namespace kcertadm {

using ::Asn1Item;

// Tag octets the callers compare against.
inline constexpr std::uint32_t kAsn1Boolean = 0x01;
inline constexpr std::uint32_t kAsn1Integer = 0x02;
inline constexpr std::uint32_t kAsn1BitString = 0x03;
inline constexpr std::uint32_t kAsn1OctetString = 0x04;
inline constexpr std::uint32_t kAsn1Null = 0x05;
inline constexpr std::uint32_t kAsn1ObjectId = 0x06;
inline constexpr std::uint32_t kAsn1Utf8String = 0x0C;
inline constexpr std::uint32_t kAsn1PrintableString = 0x13;
inline constexpr std::uint32_t kAsn1T61String = 0x14;
inline constexpr std::uint32_t kAsn1Ia5String = 0x16;
inline constexpr std::uint32_t kAsn1UtcTime = 0x17;
inline constexpr std::uint32_t kAsn1GeneralizedTime = 0x18;
inline constexpr std::uint32_t kAsn1BmpString = 0x1E;
inline constexpr std::uint32_t kAsn1Sequence = 0x30;
inline constexpr std::uint32_t kAsn1Set = 0x31;
inline constexpr std::uint32_t kAsn1Constructed = 0x20;
inline constexpr std::uint32_t kAsn1ContextSpecific = 0x80;
inline constexpr std::uint32_t kAsn1Context0 = 0xA0;  // [0] constructed
inline constexpr std::uint32_t kAsn1Context1 = 0xA1;
inline constexpr std::uint32_t kAsn1Context2 = 0xA2;
inline constexpr std::uint32_t kAsn1Context3 = 0xA3;

// Template entry flags: the element may be missing; any tag is accepted
// (ASN1_ANY is an exact rule value, not a flag to combine).
inline constexpr std::uint32_t ASN1_OPTIONAL = 0x200;
inline constexpr std::uint32_t ASN1_ANY = 0x100;

// Indefinite-length elements nested deeper than this are malformed.
inline constexpr int kAsn1MaxIndefiniteDepth = der::kMaxIndefiniteDepth;

// An item over n bytes at p for reading. A size that does not fit the
// signed 32-bit length gives an item through which nothing can be read.
Asn1Item Asn1View(const void* p, std::size_t n) noexcept;

// The bytes of an item as a reader view (empty for an empty or invalid
// item), and an item over a view.
inline der::View Asn1Bytes(const Asn1Item& item) noexcept {
  if (item.data == nullptr || item.length <= 0) return der::View();
  return der::View(item.data, static_cast<std::size_t>(item.length));
}
inline Asn1Item Asn1ItemOver(der::View view) noexcept { return Asn1View(view.data(), view.size()); }

// ---- Reader ---------------------------------------------------------------
// All results are signed; -1 means malformed input.

// Reads the header of the element at element.data, bounded by
// element.length. Returns the header size (tag octet plus length octets) and
// writes the content length and the total size (header + content, plus the
// two end-of-contents octets of the indefinite form). Either out pointer may
// be null. -1 when the header or the content would pass the end, for more
// than four length octets, or for a length beyond the signed 32-bit range.
std::int32_t Asn1ReadHeader(const Asn1Item& element, std::int32_t* contentLength,
                            std::int32_t* totalSize) noexcept;

// Total encoded size of the element at element.data, or -1.
std::int32_t Asn1TotalSize(const Asn1Item& element) noexcept;

// The moving-pointer operations below take the pointer as an Asn1Item whose
// data moves forward and whose length shrinks by the same count, so the end
// of the buffer travels with it.

// If the octet at view->data is the expected tag: moves view past the header
// and returns the content length, writing the total size (may be null).
// Otherwise (or on a malformed header) returns -1 and leaves view as it was.
std::int32_t Asn1ExpectTag(std::uint32_t tag, Asn1Item* view, std::int32_t* totalSize) noexcept;

// Stores the tag octet, moves view past the header and returns the content
// length, writing the total size (may be null). -1 and nothing changed on a
// malformed header.
std::int32_t Asn1ReadTag(std::uint32_t* tag, Asn1Item* view, std::int32_t* totalSize) noexcept;

// Returns 1 if the item's first octet is the tag, else 0. With enter set, a
// match also turns the item into the element's content (as Asn1Enter); a
// malformed header then gives -1 and leaves the item as it was.
std::int32_t Asn1PeekTag(std::uint32_t tag, Asn1Item* item, int enter) noexcept;

// The item, which starts at a tag, becomes the element's content: data
// moves past the header and length becomes the content length. Returns the
// content length, or -1 (item unchanged) on a malformed header.
std::int32_t Asn1Enter(Asn1Item* item) noexcept;

// Iterator over the children of a constructed element. After a step, pos
// is at the current child's content and length is its content length.
struct Asn1Cursor {
  std::uint8_t* pos = nullptr;
  std::int32_t length = 0;      // content length of the current child
  std::uint32_t tag = 0;        // tag octet of the current child
  std::int32_t remaining = 0;   // parent content not yet stepped over
  std::uint8_t* end = nullptr;  // end of the parent's content
};

// content: data at the element's content, length the content length; tag:
// the element's tag octet. Only a constructed tag (0x20 set) is walked.
// Returns 1 and fills the cursor with the first child, 0 when there is none
// (or the tag is primitive), -1 when the first child's header is malformed.
std::int32_t Asn1FirstChild(const Asn1Item& content, std::uint32_t tag,
                            Asn1Cursor* cursor) noexcept;

// Steps to the next child: returns its total size, 0 when no children are
// left, -1 on a malformed header (the cursor is then used up).
std::int32_t Asn1NextChild(Asn1Cursor* cursor) noexcept;

// The current child's content as an item.
inline Asn1Item Asn1CursorItem(const Asn1Cursor& cursor) noexcept {
  return Asn1Item{cursor.pos, cursor.length};
}

// Takes the next child from source (data at a tag, length the bytes left).
// 0 when source is used up; -1 on a tag mismatch (expected is a tag octet or
// ASN1_ANY) or a malformed header; else 1, with out set to the child's
// content and source moved past the child.
std::int32_t Asn1NextTagged(Asn1Item* source, Asn1Item* out, std::uint32_t expected) noexcept;

// One row of a decoding template: rule holds the expected tag octet in its
// low byte, optionally ORed with ASN1_OPTIONAL, or is exactly ASN1_ANY.
struct Asn1TemplateEntry {
  std::uint32_t rule;
  Asn1Item* out;
};

// Decodes the children of an element against a template, in order.
// Content mode off: input starts at a constructed element whose children are
// decoded, and each out item receives a whole child (tag included). Content
// mode on: input is the children region itself, and each out item receives
// a child's content. Optional entries that do not match are left untouched,
// so callers zero their destination first. 0 on success, -1 on failure.
std::int32_t Asn1DecodeTemplate(const Asn1TemplateEntry* entries, std::int32_t count,
                                const Asn1Item& input, int contentMode) noexcept;

// Compares count octets at view->data with bytes, moving view over every
// octet that matched. 1 when all matched (a count below 1 matches), 0 at
// the first difference or at the end of the view.
std::int32_t Asn1MatchBytes(Asn1Item* view, const void* bytes, std::int32_t count) noexcept;

// 1 when the item holds exactly count bytes equal to bytes, else 0.
std::int32_t Asn1ItemEquals(const Asn1Item& item, const void* bytes, std::int32_t count) noexcept;

// The item starts at a BIT STRING element whose unused-bit octet is 0; it
// becomes the octets after that one. 0 on success, -1 (item unchanged)
// otherwise.
std::int32_t Asn1UnwrapBitString(Asn1Item* item) noexcept;

// Unsigned big-endian value of INTEGER content of 1 to 4 octets; 0 for any
// other length.
std::uint32_t Asn1SmallInteger(const Asn1Item& content) noexcept;

// Splits a content region into its children: an entry per SEQUENCE child
// holding that SEQUENCE's content; a child that is not a SEQUENCE gives an
// entry for the whole rest of the region and ends the split. The array ends
// with an entry {nullptr, 0}; an empty SEQUENCE gives {its content, 0}.
// 0 on success (release *out with Asn1FreeSplit), -1 for an empty or
// malformed region or a failed allocation (*out is then null).
std::int32_t Asn1SplitSequences(const Asn1Item& content, Asn1Item** out) noexcept;
void Asn1FreeSplit(Asn1Item* array) noexcept;

// ---- Builder --------------------------------------------------------------
// Each returns 0, or -1 with the out item set empty ({nullptr, 0}) when an
// input is invalid, a length would not fit, or an allocation fails.

// 2 if length < 128; 3 if < 256; 4 if < 65,536; 5 if < 16,777,216; else 6.
std::int32_t DerHeaderSize(std::int32_t contentLength) noexcept;

// Writes the tag octet and the length in headerSize - 1 octets at buffer
// (which holds at least headerSize octets).
void DerWriteHeader(std::uint8_t* buffer, std::uint32_t tag, std::int32_t headerSize,
                    std::int32_t contentLength) noexcept;

// Header only, content length 0 (empty SET 0x31, empty [0] 0xA0).
std::int32_t DerEmpty(Asn1Item* out, std::uint32_t tag) noexcept;

// Constructed element with tag octet (tagNumber | 0x20) whose content is the
// listed items' bytes in order; items of length 0 are skipped and the list
// ends at the first null pointer. The items are copied: the caller still
// frees them. 0x10 gives a SEQUENCE, 0x80 gives [0] constructed.
std::int32_t DerConstructedList(Asn1Item* out, std::uint32_t tagNumber,
                                const Asn1Item* const* items, std::size_t count) noexcept;

// The tag numbers DerConstructed and DerConstructedList take.
inline constexpr std::uint32_t kDerSequenceNumber = 0x10;
inline constexpr std::uint32_t kDerSetNumber = 0x11;
inline constexpr std::uint32_t kDerContext0Number = 0x80;
inline constexpr std::uint32_t kDerContext3Number = 0x83;

// DerConstructed(&out, kDerSequenceNumber, &a, &b, &c) or with a trailing
// nullptr.
template <typename... Items>
std::int32_t DerConstructed(Asn1Item* out, std::uint32_t tagNumber, Items... items) noexcept {
  static_assert((std::is_convertible_v<Items, const Asn1Item*> && ...),
                "DerConstructed takes pointers to items");
  const Asn1Item* list[] = {static_cast<const Asn1Item*>(items)..., nullptr};
  return DerConstructedList(out, tagNumber, list, sizeof...(Items));
}

// Element with the tag octet as given and a copy of count bytes as content.
std::int32_t DerPrimitive(Asn1Item* out, std::uint32_t tag, const void* bytes,
                          std::int32_t count) noexcept;

// As DerPrimitive with the item's bytes as content (OID from raw octets, SET
// around one child, [0] EXPLICIT tagging).
std::int32_t DerWrap(Asn1Item* out, std::uint32_t tag, const Asn1Item& item) noexcept;

// A copy of an element already encoded (by the appending builder), in a
// block of its own.
std::int32_t DerCopy(Asn1Item* out, der::View element) noexcept;

// INTEGER in the shortest two's-complement form of an unsigned value.
std::int32_t DerInteger(Asn1Item* out, std::uint32_t value) noexcept;

// BIT STRING with no unused bits holding count bytes.
std::int32_t DerBitString(Asn1Item* out, const void* bytes, std::int32_t count) noexcept;

// Frees the item's block, if any (its bytes are wiped first), and empties
// the item.
void DerFree(Asn1Item* item) noexcept;

// Frees every block of an array of builder items.
void DerFreeItems(Asn1Item* items, std::size_t count) noexcept;
template <std::size_t N>
void DerFreeItems(Asn1Item (&items)[N]) noexcept {
  DerFreeItems(items, N);
}

}  // namespace kcertadm
