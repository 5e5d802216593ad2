// Certificate strings to and from host and native text.
#include "cert/string_convert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/charset.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using test::IntlEncodingScope;
using test::Text;

// BMPString units are big-endian whatever the machine's order; input longer
// than the conversion buffer is cut to it, never copied past.
TEST(BMPToHCSET, ConvertsBigEndianUnitsWithinTheBuffer) {
  const std::uint8_t bmp[] = {0x00, 0x41, 0x20, 0xAC};
  std::vector<char> out(4096);
  EXPECT_EQ(BMPToHCSET(bmp, sizeof bmp, out.data(), 16), 4);
  EXPECT_STREQ(out.data(), "A\xE2\x82\xAC");
  std::vector<std::uint8_t> longer;
  for (int i = 0; i < 1000; ++i) longer.insert(longer.end(), {0x00, 'x'});
  const auto size = static_cast<int32_t>(longer.size());
  EXPECT_EQ(BMPToHCSET(longer.data(), size, out.data(), static_cast<int32_t>(out.size())), kConversionBufferSize / 2);
  EXPECT_EQ(BmpToDisplay(longer.data(), longer.size(), out.data(), out.size()), kConversionBufferSize / 2);
}

// Without translation tables T61String cannot be read (the reading itself
// is covered with the tables and by the name reports).
TEST(T61ToHCSET, FailsWithoutTables) {
  const std::uint8_t t61[] = {'Z', 0xFC, 'r', 'i', 'c', 'h'};
  char out[32];
  HostSetTranslationTablesAvailable(false);
  EXPECT_EQ(T61ToHCSET(t61, sizeof t61, out, sizeof out), 0);
  EXPECT_EQ(T61ToDisplay(t61, sizeof t61, out, sizeof out), 0);
  HostSetTranslationTablesAvailable(true);
  EXPECT_EQ(T61ToHCSET(t61, sizeof t61, out, sizeof out), 7);
}

TEST(DisplayConversions, StopWhenTheFirstStepProducesNothing) {
  char out[8] = "junk";
  EXPECT_EQ(Utf8ToDisplay(nullptr, 0, out, sizeof out), 0);
  const std::uint8_t one[] = {0x41};  // half a BMP unit
  EXPECT_EQ(BmpToDisplay(one, 1, out, sizeof out), 0);
  const auto utf8 = Text("Gen\xC3\xA8ve");
  EXPECT_EQ(Utf8ToDisplay(utf8.data(), utf8.size(), out, sizeof out), 7);
  EXPECT_STREQ(out, "Gen\xC3\xA8ve");
  EXPECT_EQ(Utf8ToDisplay(utf8.data(), utf8.size(), out, 5), 3);  // no split letter
  EXPECT_STREQ(out, "Gen");
}

TEST(ConvertIntlString, ProducesTheConfiguredType) {
  const std::string text = "Zo\xC3\xAB";  // Zoë
  const struct { int tag; std::vector<std::uint8_t> want; } kTests[] = {
      {0x0C, Text(text)},
      {0x1E, {0x00, 'Z', 0x00, 'o', 0x00, 0xEB}},  // big-endian units
      {0x14, {'Z', 'o', 0xEB}},                    // read as ISO 8859-1
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.tag);
    IntlEncodingScope scope(c.tag);
    DnValue value{};
    EXPECT_EQ(ConvertIntlString(text.data(), text.size(), &value),
              static_cast<std::int32_t>(c.want.size()));
    EXPECT_EQ(value.stringTag, c.tag);
    EXPECT_EQ(value.owned, 1);
    ASSERT_NE(value.bytes, nullptr);
    EXPECT_NE(reinterpret_cast<const char*>(value.bytes), text.data());
    EXPECT_EQ(std::vector<std::uint8_t>(value.bytes, value.bytes + value.length), c.want);
    std::free(value.bytes);
  }
}

// T61String octets are read as ISO 8859-1 here and by other tools; a value
// that ISO 8859-1 cannot hold is kept whole as UTF8String.
TEST(ConvertIntlString, T61FallsBackToUtf8BeyondLatin1) {
  IntlEncodingScope scope(0x14);
  const std::string text = "Z\xC3\xBC \xE2\x82\xAC";  // "Zü €"
  DnValue value{};
  EXPECT_EQ(ConvertIntlString(text.data(), text.size(), &value), 7);
  EXPECT_EQ(value.stringTag, 0x0C);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(value.bytes), value.length), text);
  std::free(value.bytes);
}

TEST(ConvertIntlString, NothingProducedKeepsTheCallersText) {
  IntlEncodingScope scope(0x0C);
  const char* text = "";
  DnValue value{};
  EXPECT_EQ(ConvertIntlString(text, 0, &value), 0);
  EXPECT_EQ(value.bytes, reinterpret_cast<const std::uint8_t*>(text));
  EXPECT_EQ(value.length, 0);
  EXPECT_EQ(value.owned, 0);
}

}  // namespace
}  // namespace kcertadm
