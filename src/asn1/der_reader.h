// Bounded DER/BER reader in the shape of a byte-string cursor: a view over
// the caller's bytes; every read checks the end of the view before it looks
// at an octet, nothing is copied and nothing is allocated. Tags are single
// octets. Lengths come in the short form and in the long forms of one to
// four octets; what an indefinite length (0x80) means is chosen by the
// caller through a LengthRule, because the readers of this library have
// always differed there.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

namespace kcertadm::der {

using View = std::span<const std::uint8_t>;

inline constexpr std::uint8_t kInteger = 0x02;
inline constexpr std::uint8_t kBitString = 0x03;
inline constexpr std::uint8_t kOctetString = 0x04;
inline constexpr std::uint8_t kNull = 0x05;
inline constexpr std::uint8_t kOid = 0x06;
inline constexpr std::uint8_t kUtcTime = 0x17;
inline constexpr std::uint8_t kGeneralizedTime = 0x18;
inline constexpr std::uint8_t kSequence = 0x30;
inline constexpr std::uint8_t kSet = 0x31;
inline constexpr std::uint8_t kBmpString = 0x1E;
inline constexpr std::uint8_t kContext0 = 0xA0;
// [0] IMPLICIT over a primitive type, and the private class's [0]
// constructed.
inline constexpr std::uint8_t kImplicit0 = 0x80;
inline constexpr std::uint8_t kPrivate0 = 0xE0;
// The bit of a tag octet that marks a constructed encoding.
inline constexpr std::uint8_t kConstructedBit = 0x20;

// What a length octet of 0x80 (BER's indefinite form) does.
enum LengthRule {
  // Strict DER: the indefinite form and long forms that are not the
  // shortest (0x81 0x7F, a leading zero length octet) are malformed.
  kDerOnly,
  // The element has an empty content and ends after its two header octets
  // (the key ring's and the key files' own decoders).
  kIndefiniteAsEmpty,
  // The nested elements are followed to their end-of-contents octets, at
  // most kMaxIndefiniteDepth deep; the content excludes those two octets
  // (the certificate codec).
  kFollowIndefinite,
};

inline constexpr int kMaxIndefiniteDepth = 64;

struct Element {
  std::uint8_t tag = 0;
  View whole;  // tag, length octets, content (and end-of-contents octets)
  View content;
};

// Reads the element at the start of in; none when its header or content
// would run past the end of in, or the rule refuses its length.
std::optional<Element> Peek(View in, LengthRule rule) noexcept;

// Reads the element at the start of in and moves in past it.
std::optional<Element> Next(View& in, LengthRule rule) noexcept;

// As Next, but the element must carry the tag (in is not moved otherwise).
std::optional<Element> Expect(View& in, std::uint8_t tag, LengthRule rule) noexcept;

// As Expect, but the element must be all of in: none when anything follows
// it. in itself is not moved.
std::optional<Element> ExpectOnly(View in, std::uint8_t tag, LengthRule rule) noexcept;

inline bool Equal(View a, View b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace kcertadm::der
