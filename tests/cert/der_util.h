// DER writers for well-formed and hostile certificate inputs, shared by the key ring and command
// tests.
#pragma once

#include <initializer_list>
#include <string>

#include "asn1/hex_util.h"
#include "support/test_files.h"

namespace kcertadm::test {

using Bytes = std::vector<std::uint8_t>;
using test_support::BytesOf;
using test_support::Hex;
using test_support::ItemOf;  // a view: keep the bytes alive

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes length;
  for (std::size_t n = content.size(); n > 0; n >>= 8)
    length.insert(length.begin(), static_cast<std::uint8_t>(n));
  if (content.size() >= 0x80)
    length.insert(length.begin(), static_cast<std::uint8_t>(0x80 | length.size()));
  if (content.empty()) length = {0};
  return Cat({{tag}, length, content});
}

// AttributeTypeAndValue inside its own RDN: SET { SEQUENCE { OID, value } }.
inline Bytes Rdn(const Bytes& oid, std::uint8_t tag, const std::string& value) {
  return Tlv(0x31, Tlv(0x30, Cat({Tlv(0x06, oid), Tlv(tag, Text(value))})));
}
inline Bytes Name(std::initializer_list<Bytes> rdns) { return Tlv(0x30, Cat(rdns)); }
inline Bytes CnName(const std::string& commonName) {
  return Name({Rdn(Hex("55 04 03"), 0x13, commonName)});
}

inline const Bytes kMd5WithRsa = Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 04 05 00");
// 2026-12-04 00:00:00 to 2027-12-04 23:59:00
inline const Bytes kValidity =
    Hex("30 1E 17 0D 32 36 31 32 30 34 30 30 30 30 30 30 5A"
        "17 0D 32 37 31 32 30 34 32 33 35 39 30 30 5A");

// A Certificate of the TBS contents, MD5 with RSA, and the signature octets.
inline Bytes Signed(const Bytes& tbsContents, const Bytes& signature = {0}) {
  return Tlv(0x30, Cat({Tlv(0x30, tbsContents), kMd5WithRsa, Tlv(0x03, Cat({{0}, signature}))}));
}

// A file of tests/data/cert.
inline Bytes TestData(const std::string& name) {
  return test_support::ReadFileBytes(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/" + name);
}

}  // namespace kcertadm::test
