#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
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
  if (n == 0) return "<none>";
  EXPECT_EQ(out.length, n);
  EXPECT_EQ(out.data[n], '\0') << "the text is NUL-terminated";
  std::string text(reinterpret_cast<char*>(out.data), static_cast<std::size_t>(n));
  std::free(out.data);
  return text;
}

// Decoded bytes; result 0 when the text was refused.
struct Decoded {
  std::int32_t result;
  Bytes bytes;
};

Decoded Decode(const std::string& text) {
  std::uint8_t marker = 0;
  Asn1Item out{&marker, 77};
  const std::int32_t n = Base64Decode(text.data(), static_cast<std::int32_t>(text.size()), &out);
  if (n == 0) {
    EXPECT_EQ(out.data, &marker) << "a failed decode leaves the item untouched";
    EXPECT_EQ(out.length, 77);
    return {0, {}};
  }
  EXPECT_EQ(out.length, n);
  Bytes bytes(out.data, out.data + n);
  std::free(out.data);
  return {n, bytes};
}

TEST(Base64Encode, KnownTexts) {
  const struct {
    const char* plain;
    const char* text;
  } kTests[] = {
      {"abc", "YWJj"}, {"ab", "YWI="}, {"a", "YQ=="}, {"abcd", "YWJjZA=="},
      {"Man is", "TWFuIGlz"},
  };
  for (const auto& c : kTests) EXPECT_EQ(Encode(ToBytes(c.plain)), c.text) << c.plain;
  EXPECT_EQ(Encode(Bytes{0xFB, 0xFF, 0xBF}), "+/+/");
  EXPECT_EQ(Encode(Bytes{0x00}), "AA==");
}

TEST(Base64Encode, NothingToEncodeLeavesTheItem) {
  std::uint8_t byte = 1;
  Asn1Item out{&byte, 5};
  EXPECT_EQ(Base64Encode(nullptr, 3, &out), 0);
  EXPECT_EQ(Base64Encode(&byte, 0, &out), 0);
  EXPECT_EQ(Base64Encode(&byte, -4, &out), 0);
  EXPECT_EQ(out.data, &byte);
  EXPECT_EQ(out.length, 5);
}

TEST(Base64Decode, AcceptsWhiteSpaceAndPaddedGroups) {
  const struct {
    const char* name;
    std::string text;
    Bytes expected;
  } kTests[] = {
      {"plain", "YWJj", ToBytes("abc")},
      {"line feed inside", "YW\nJj", ToBytes("abc")},
      {"line feed at the end", "YWJj\n", ToBytes("abc")},
      {"every white space anywhere", " \tY W\r\nJ j \r\n\t ", ToBytes("abc")},
      {"two octets", "YWI=", ToBytes("ab")},
      {"one octet", "YQ==", ToBytes("a")},
      {"decoding goes on after a padded group", "YQ==YWI=", ToBytes("aab")},
      {"fourth place after = in the third is only checked for validity", "YQ=A", ToBytes("a")},
      {"symbols + and /", "+/+/", Bytes{0xFB, 0xFF, 0xBF}},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.text);
    EXPECT_EQ(d.result, static_cast<std::int32_t>(c.expected.size()));
    EXPECT_EQ(d.bytes, c.expected);
  }
}

TEST(Base64Decode, RefusesBrokenText) {
  const struct {
    const char* why;
    std::string text;
  } kTests[] = {
      {"text ends inside a group", "YQ="},
      {"text ends after one symbol", "YWJjY"},
      {"character outside the alphabet", "YW-j"},
      {"full stop", "YW.j"},
      {"URL-safe alphabet is not this one", "_-_-"},
      {"padding in the first place", "=WJj"},
      {"padding in the second place", "Y===" },
      {"NUL inside the counted text", std::string("YWJj\0YWJj", 9)},
      {"byte above 0x7F", "YWJ\xC3"},
      {"nothing but white space decodes to nothing", " \r\n"},
      {"empty text", ""},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(Decode(c.text).result, 0);
  }
  Asn1Item out{};
  EXPECT_EQ(Base64Decode(nullptr, 4, &out), 0);
  EXPECT_EQ(Base64Decode("YWJj", -1, &out), 0);
}

TEST(Base64, RoundTripsEveryLength) {
  std::mt19937 random(1234);
  for (int length = 1; length <= 300; ++length) {
    Bytes bytes(static_cast<std::size_t>(length));
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    const std::string text = Encode(bytes);
    ASSERT_EQ(text.size(), static_cast<std::size_t>((length + 2) / 3 * 4));
    ASSERT_EQ(Decode(text).bytes, bytes) << length;
  }
}

std::string WritePem(const Bytes& bytes, int indent) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&buffer, &size);
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(PemWriteBase64(file, bytes.data(), static_cast<std::int32_t>(bytes.size()), indent), 0);
  std::fclose(file);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(PemWriteBase64, SixtyFourCharacterLines) {
  Bytes bytes(49);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  const std::string full = Encode(bytes);  // 68 characters on one line

  const std::string line48 = WritePem(Bytes(bytes.begin(), bytes.begin() + 48), 0);
  EXPECT_EQ(line48, full.substr(0, 64) + "\n") << "48 octets are exactly one line";

  const std::string line49 = WritePem(bytes, 0);
  EXPECT_EQ(line49, full.substr(0, 64) + "\n" + full.substr(64) + "\n");
  EXPECT_EQ(full.substr(64).size(), 4u);
  EXPECT_EQ(full.substr(66), "==");

  EXPECT_EQ(WritePem(bytes, 1), " " + full.substr(0, 64) + "\n " + full.substr(64) + "\n")
      << "indenting puts one space before every line";
  EXPECT_EQ(WritePem(ToBytes("abc"), 0), "YWJj\n");
  EXPECT_EQ(WritePem(Bytes{}, 0), "");
  EXPECT_EQ(WritePem(Bytes{}, 1), "") << "no dangling space without a line";
}

TEST(PemWriteBase64, ReportsAFailedWrite) {
  std::FILE* readOnly = std::fopen("/dev/null", "r");
  ASSERT_NE(readOnly, nullptr);
  const Bytes bytes(10, 1);
  EXPECT_EQ(PemWriteBase64(readOnly, bytes.data(), 10, 0), -1);
  std::fclose(readOnly);
  EXPECT_EQ(PemWriteBase64(nullptr, bytes.data(), 10, 0), -1);
}

}  // namespace
}  // namespace kcertadm
