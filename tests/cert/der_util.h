// Small DER writers for building hostile and well-formed test inputs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kcertadm::test {

using Bytes = std::vector<std::uint8_t>;

Bytes Tlv(std::uint8_t tag, const Bytes& content);
Bytes Cat(std::initializer_list<Bytes> parts);
Bytes Text(const std::string& s);
Bytes Hex(const std::string& hex);  // "30 0a ..." with or without blanks
std::string ToHex(const Bytes& bytes);

// AttributeTypeAndValue inside its own RDN: SET { SEQUENCE { OID, value } }.
Bytes Rdn(const Bytes& oid, std::uint8_t tag, const std::string& value);
Bytes Name(std::initializer_list<Bytes> rdns);

Bytes ReadFile(const std::string& path);

}  // namespace kcertadm::test
