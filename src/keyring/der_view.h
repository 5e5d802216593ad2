// Bounded reading and plain building of DER elements for the key ring's
// own decoders and encoders. Lengths are read in short form and in the long
// forms of one to four octets; 0x80 (indefinite) reads as an empty content.
// Nothing is ever read beyond the view given.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

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
inline constexpr std::uint8_t kContext0 = 0xA0;

struct Element {
  std::uint8_t tag = 0;
  View whole;  // tag, length octets and contents
  View content;
};

// Reads the element at the start of in; none when its header or contents
// would run past the end of in.
std::optional<Element> Peek(View in);

// Reads the element at the start of in and moves in past it.
std::optional<Element> Next(View& in);

// As Next, but the element must carry the tag.
std::optional<Element> Expect(View& in, std::uint8_t tag);

// As Expect, but the element must be all of in: none when anything follows
// it. in itself is not moved.
std::optional<Element> ExpectOnly(View in, std::uint8_t tag);

// Number of octets DER uses for the header of a content of this length.
std::size_t HeaderSize(std::size_t contentLength);

// Appends tag, DER length and contents.
template <typename Buffer>
void Append(Buffer& out, std::uint8_t tag, View content) {
  std::size_t n = content.size();
  out.push_back(tag);
  if (n < 0x80) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else {
    int octets = 0;
    for (std::size_t v = n; v != 0; v >>= 8) ++octets;
    out.push_back(static_cast<std::uint8_t>(0x80 + octets));
    for (int i = octets - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  }
  out.insert(out.end(), content.begin(), content.end());
}

// Appends an INTEGER holding the unsigned big-endian number: leading zero
// bytes dropped, one zero byte added when the first byte has its high bit
// set; zero is the single byte 0.
template <typename Buffer>
void AppendUnsignedInteger(Buffer& out, View number) {
  std::size_t skip = 0;
  while (skip < number.size() && number[skip] == 0) ++skip;
  View digits = number.subspan(skip);
  Buffer content;
  if (digits.empty() || (digits[0] & 0x80) != 0) content.push_back(0);
  content.insert(content.end(), digits.begin(), digits.end());
  Append(out, kInteger, View(content.data(), content.size()));
}

// DER of the AlgorithmIdentifier SEQUENCE { OID, NULL }.
std::vector<std::uint8_t> AlgorithmIdentifier(View oidContents);

inline bool Equal(View a, View b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace kcertadm::der
