#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "armour/base64.h"
#include "kcertadm.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string Encode(const Bytes& bytes) {
  Asn1Item out{};
  const std::int32_t n = Base64Encode(bytes.data(), static_cast<std::int32_t>(bytes.size()), &out);
  EXPECT_EQ(out.length, n);
  EXPECT_EQ(out.data[n], '\0') << "the text is NUL-terminated";
  std::string text(reinterpret_cast<char*>(out.data), static_cast<std::size_t>(n));
  std::free(out.data);
  return text;
}

// The decoded bytes, or none when the text was refused.
std::optional<Bytes> Decode(const std::string& text) {
  std::uint8_t marker = 0;
  Asn1Item out{&marker, 77};
  const std::int32_t n = Base64Decode(text.data(), static_cast<std::int32_t>(text.size()), &out);
  if (n == 0) {
    EXPECT_TRUE(out.data == &marker && out.length == 77) << "a failed decode leaves the item untouched";
    return std::nullopt;
  }
  EXPECT_EQ(out.length, n);
  Bytes bytes(out.data, out.data + n);
  std::free(out.data);
  return bytes;
}

TEST(Base64, KnownTexts) {
  const struct {
    std::string text;
    Bytes plain;
    bool canonical;  // what the encoder writes; the others only decode
  } kTests[] = {
      {"YWJj", ToBytes("abc"), true},
      {"YWI=", ToBytes("ab"), true},
      {"YQ==", ToBytes("a"), true},
      {"+/+/", Bytes{0xFB, 0xFF, 0xBF}, true},
      {" \tY W\r\nJ j \r\n\t ", ToBytes("abc"), false},  // white space anywhere
      {"YQ==YWI=", ToBytes("aab"), false},                // decoding goes on after a padded group
      {"YQ=A", ToBytes("a"), false},  // the fourth place after = in the third is only checked for validity
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.text);
    if (c.canonical) {
      EXPECT_EQ(Encode(c.plain), c.text);
    }
    EXPECT_EQ(Decode(c.text), c.plain);
  }
}

TEST(Base64, RefusesBrokenTextAndArguments) {
  const struct {
    const char* why;
    std::string text;
  } kTests[] = {
      {"text ends inside a group", "YQ="},
      {"text ends after one symbol", "YWJjY"},
      {"character outside the alphabet", "YW.j"},
      {"URL-safe alphabet is not this one", "_-_-"},
      {"padding in the first place", "=WJj"},
      {"padding in the second place", "Y==="},
      {"NUL inside the counted text", std::string("YWJj\0YWJj", 9)},
      {"byte above 0x7F", "YWJ\xC3"},
      {"nothing but white space decodes to nothing", " \r\n"},
      {"empty text", ""},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(Decode(c.text), std::nullopt);
  }
  std::uint8_t byte = 1;
  Asn1Item out{&byte, 5};
  EXPECT_EQ(Base64Decode(nullptr, 4, &out), 0);
  EXPECT_EQ(Base64Decode("YWJj", -1, &out), 0);
  EXPECT_EQ(Base64Encode(nullptr, 3, &out), 0);
  EXPECT_EQ(Base64Encode(&byte, 0, &out), 0);
  EXPECT_EQ(Base64Encode(&byte, -4, &out), 0);
  EXPECT_TRUE(out.data == &byte && out.length == 5) << "refusals leave the item alone";
}

}  // namespace
}  // namespace kcertadm
