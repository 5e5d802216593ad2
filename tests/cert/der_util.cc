#include "der_util.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kcertadm::test {

Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes length;
  for (std::size_t n = content.size(); n > 0; n >>= 8) length.insert(length.begin(), static_cast<std::uint8_t>(n));
  if (content.size() >= 0x80) length.insert(length.begin(), static_cast<std::uint8_t>(0x80 | length.size()));
  if (content.empty()) length = {0};
  return Cat({{tag}, length, content});
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Hex(const std::string& hex) {
  std::string digits;
  for (char c : hex)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  Bytes out;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

Bytes Rdn(const Bytes& oid, std::uint8_t tag, const std::string& value) {
  return Tlv(0x31, Tlv(0x30, Cat({Tlv(0x06, oid), Tlv(tag, Text(value))})));
}

Bytes Name(std::initializer_list<Bytes> rdns) { return Tlv(0x30, Cat(rdns)); }

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes TestData(const std::string& name) { return ReadFile(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/" + name); }

Asn1Item ItemOf(Bytes& bytes) { return Asn1Item{bytes.data(), static_cast<std::int32_t>(bytes.size())}; }

Bytes BytesOf(const Asn1Item& item) { return Bytes(item.data, item.data + item.length); }

const Bytes kMd5WithRsa = Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 04 05 00");
const Bytes kValidity = Hex("30 1E 17 0D 32 36 31 32 30 34 30 30 30 30 30 30 5A"
                            "17 0D 32 37 31 32 30 34 32 33 35 39 30 30 5A");

Bytes CnName(const std::string& commonName) { return Name({Rdn(Hex("55 04 03"), 0x13, commonName)}); }

Bytes Signed(const Bytes& tbsContents) { return Tlv(0x30, Cat({Tlv(0x30, tbsContents), kMd5WithRsa, Hex("03 02 00 00")})); }

}  // namespace kcertadm::test
