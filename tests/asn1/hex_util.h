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

}  // namespace kcertadm::testing
