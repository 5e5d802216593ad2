// Hex literals for the ASN.1 and armour tests.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "asn1/asn1.h"

namespace kcertadm::test_support {

// "30 03 02 01 05" -> bytes; anything but hex digits is ignored.
inline std::vector<std::uint8_t> Hex(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

inline Asn1Item ItemOf(const std::vector<std::uint8_t>& bytes) {
  return Asn1View(bytes.data(), bytes.size());
}

inline std::vector<std::uint8_t> BytesOf(const Asn1Item& item) {
  return item.length <= 0 ? std::vector<std::uint8_t>{}
                          : std::vector<std::uint8_t>(item.data, item.data + item.length);
}

}  // namespace kcertadm::test_support
