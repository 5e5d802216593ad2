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

std::string Encode(const Bytes& bytes) {
  Asn1Item out{};
  const std::int32_t n = Base64Encode(bytes.data(), static_cast<std::int32_t>(bytes.size()), &out);
  EXPECT_TRUE(n == out.length && out.data[n] == '\0') << "the text is NUL-terminated";
  std::string text(reinterpret_cast<char*>(out.data), static_cast<std::size_t>(n));
  std::free(out.data);
  return text;
}

// The decoded text, or none when it was refused.
std::optional<std::string> Decode(const std::string& text) {
  std::uint8_t marker = 0;
  Asn1Item out{&marker, 77};
  const std::int32_t n = Base64Decode(text.data(), static_cast<std::int32_t>(text.size()), &out);
  if (n == 0) {
    EXPECT_TRUE(out.data == &marker && out.length == 77) << "a refusal leaves the item untouched";
    return std::nullopt;
  }
  std::string bytes(reinterpret_cast<char*>(out.data), static_cast<std::size_t>(n));
  std::free(out.data);
  return bytes;
}

TEST(Base64, KnownTextsAndRefusals) {
  // canonical: what the encoder writes; no plain text: refused
  const struct {
    std::string text;
    std::optional<std::string> plain;
    bool canonical = false;
  } kTests[] = {
      {"YWJj", "abc", true},
      {"YWI=", "ab", true},
      {"YQ==", "a", true},
      {"+/+/", "\xFB\xFF\xBF", true},
      // White space anywhere; decoding goes on after a padded group; after "=" the fourth place
      // only has to be valid.
      {" \tY W\r\nJ j \r\n\t ", "abc"},
      {"YQ==YWI=", "aab"},
      {"YQ=A", "a"},
      // Refused: a group cut short, outside the alphabet, misplaced padding, NUL inside the text,
      // nothing at all.
      {"YQ=", std::nullopt},
      {"YWJjY", std::nullopt},
      {"YW.j", std::nullopt},
      {"=WJj", std::nullopt},
      {std::string("YWJj\0YWJj", 9), std::nullopt},
      {"YWJ\xC3", std::nullopt},
      {" \r\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.text);
    if (c.canonical) {
      EXPECT_EQ(Encode(Bytes(c.plain->begin(), c.plain->end())), c.text);
    }
    EXPECT_EQ(Decode(c.text), c.plain);
  }
  std::uint8_t byte = 1;
  Asn1Item out{&byte, 5};
  EXPECT_EQ(Base64Decode(nullptr, 4, &out) + Base64Decode("YWJj", -1, &out), 0);
  EXPECT_EQ(
      Base64Encode(nullptr, 3, &out) + Base64Encode(&byte, 0, &out) + Base64Encode(&byte, -4, &out),
      0);
  EXPECT_TRUE(out.data == &byte && out.length == 5) << "refusals leave the item alone";
}

}  // namespace
}  // namespace kcertadm
