// Hex literals for the ASN.1 and armour tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "asn1/asn1.h"

namespace kcertadm::testing {

// "30 03 02 01 05" -> bytes; spaces are ignored.
inline std::vector<std::uint8_t> Hex(std::string_view text) {
  std::vector<std::uint8_t> out;
  int high = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

inline Asn1Item ItemOf(const std::vector<std::uint8_t>& bytes) {
  return Asn1View(bytes.data(), bytes.size());
}

inline std::vector<std::uint8_t> BytesOf(const Asn1Item& item) {
  if (item.length <= 0) return {};
  return std::vector<std::uint8_t>(item.data, item.data + item.length);
}

// Element with the given tag around content (short or long form as DER).
inline std::vector<std::uint8_t> Tlv(std::uint8_t tag, const std::vector<std::uint8_t>& content) {
  std::vector<std::uint8_t> out{tag};
  const std::size_t n = content.size();
  if (n < 128) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 256) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

}  // namespace kcertadm::testing
