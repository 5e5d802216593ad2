#include "crypto/toolkit_util.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kcertadm::testing {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw std::invalid_argument("bad hex digit");
}

}  // namespace

std::vector<std::uint8_t> FromHex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  int high = -1;
  for (char c : hex) {
    if (c == ' ' || c == '\n') continue;
    if (high < 0) {
      high = HexValue(c);
    } else {
      out.push_back(static_cast<std::uint8_t>(high << 4 | HexValue(c)));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd hex length");
  return out;
}

std::string ToHex(const std::uint8_t* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::vector<std::string>> ReadVectorFile(const std::string& name) {
  std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/crypto/" + name);
  if (!in) throw std::runtime_error("cannot open " + name);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string field; fields >> field;) row.push_back(field);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::uint8_t> PatternBytes(std::size_t size) {
  std::vector<std::uint8_t> out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>((i * 7 + 3) % 251);
  return out;
}

}  // namespace kcertadm::testing
