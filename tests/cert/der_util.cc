#include "der_util.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kcertadm::test {

Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  const std::size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 0x100) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
  } else if (n < 0x10000) {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x83, static_cast<std::uint8_t>(n >> 16),
                           static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Hex(const std::string& hex) {
  Bytes out;
  int high = -1;
  for (char c : hex) {
    if (std::isspace(static_cast<unsigned char>(c)) || c == ':') continue;
    const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                              : std::tolower(c) - 'a' + 10;
    if (v < 0 || v > 15) throw std::invalid_argument("bad hex");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd hex");
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
