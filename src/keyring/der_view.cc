#include "keyring/der_view.h"

#include <algorithm>

namespace kcertadm::der {

std::optional<Element> Peek(View in) {
  if (in.size() < 2) return std::nullopt;
  std::size_t header = 2;
  std::size_t length = in[1];
  if (length == 0x80) {
    length = 0;
  } else if (length > 0x80) {
    std::size_t octets = length - 0x80;
    if (octets > 4 || in.size() < 2 + octets) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < octets; ++i) length = (length << 8) | in[2 + i];
    header += octets;
  }
  if (length > in.size() - header) return std::nullopt;
  Element e;
  e.tag = in[0];
  e.whole = in.first(header + length);
  e.content = in.subspan(header, length);
  return e;
}

std::optional<Element> Next(View& in) {
  auto e = Peek(in);
  if (e) in = in.subspan(e->whole.size());
  return e;
}

std::optional<Element> Expect(View& in, std::uint8_t tag) {
  auto e = Peek(in);
  if (!e || e->tag != tag) return std::nullopt;
  in = in.subspan(e->whole.size());
  return e;
}

std::optional<Element> ExpectOnly(View in, std::uint8_t tag) {
  auto e = Expect(in, tag);
  if (!e || !in.empty()) return std::nullopt;
  return e;
}

std::size_t HeaderSize(std::size_t contentLength) {
  if (contentLength < 0x80) return 2;
  std::size_t octets = 0;
  for (std::size_t v = contentLength; v != 0; v >>= 8) ++octets;
  return 2 + octets;
}

std::vector<std::uint8_t> AlgorithmIdentifier(View oidContents) {
  std::vector<std::uint8_t> content;
  Append(content, kOid, oidContents);
  content.push_back(kNull);
  content.push_back(0);
  std::vector<std::uint8_t> out;
  Append(out, kSequence, View(content.data(), content.size()));
  return out;
}

}  // namespace kcertadm::der
