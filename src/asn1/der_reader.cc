// Element headers under the three length rules.
#include "asn1/der_reader.h"

namespace kcertadm::der {

namespace {

constexpr std::uint8_t kIndefinite = 0x80;
constexpr std::size_t kMaxLengthOctets = 4;

std::optional<Element> ReadElement(View in, LengthRule rule, int depth) noexcept;

// The definite long-form length whose count octets follow the first two of
// in; none when they pass the end or, under kDerOnly, are not the shortest.
std::optional<std::size_t> ReadLongLength(View in, std::size_t count, LengthRule rule) noexcept {
  if (count > kMaxLengthOctets || in.size() < 2 + count) return std::nullopt;
  std::size_t length = 0;
  for (std::size_t i = 0; i < count; ++i) length = (length << 8) | in[2 + i];
  if (rule == kDerOnly && (in[2] == 0 || length < 0x80)) return std::nullopt;
  return length;
}

// Size of the content of the indefinite-length element at the start of in
// together with its end-of-contents element, or none.
std::optional<std::size_t> ScanIndefinite(View in, int depth) noexcept {
  if (depth >= kMaxIndefiniteDepth) return std::nullopt;
  View rest = in.subspan(2);
  for (;;) {
    auto child = ReadElement(rest, kFollowIndefinite, depth + 1);
    if (!child) return std::nullopt;
    rest = rest.subspan(child->whole.size());
    if (child->tag == 0x00 && child->content.empty()) return in.size() - 2 - rest.size();
  }
}

std::optional<Element> ReadElement(View in, LengthRule rule, int depth) noexcept {
  if (in.size() < 2) return std::nullopt;
  Element element;
  element.tag = in[0];
  const std::uint8_t first = in[1];
  std::size_t header = 2;
  std::size_t length = first;
  std::size_t trailer = 0;
  if (first == kIndefinite) {
    if (rule == kDerOnly) return std::nullopt;
    length = 0;
    if (rule == kFollowIndefinite) {
      auto scanned = ScanIndefinite(in, depth);
      if (!scanned || *scanned < 2) return std::nullopt;
      length = *scanned - 2;
      trailer = 2;
    }
  } else if (first > kIndefinite) {
    auto longLength = ReadLongLength(in, first - kIndefinite, rule);
    if (!longLength) return std::nullopt;
    header += first - kIndefinite;
    length = *longLength;
  }
  if (length > in.size() - header || trailer > in.size() - header - length) return std::nullopt;
  element.whole = in.first(header + length + trailer);
  element.content = in.subspan(header, length);
  return element;
}

}  // namespace

std::optional<Element> Peek(View in, LengthRule rule) noexcept { return ReadElement(in, rule, 0); }

std::optional<Element> Next(View& in, LengthRule rule) noexcept {
  auto element = Peek(in, rule);
  if (element) in = in.subspan(element->whole.size());
  return element;
}

std::optional<Element> Expect(View& in, std::uint8_t tag, LengthRule rule) noexcept {
  auto element = Peek(in, rule);
  if (!element || element->tag != tag) return std::nullopt;
  in = in.subspan(element->whole.size());
  return element;
}

std::optional<Element> ExpectOnly(View in, std::uint8_t tag, LengthRule rule) noexcept {
  auto element = Expect(in, tag, rule);
  if (!element || !in.empty()) return std::nullopt;
  return element;
}

}  // namespace kcertadm::der
