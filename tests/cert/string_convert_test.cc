// Certificate strings to and from host and native text.
#include "cert/string_convert.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "host/charset.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using namespace test;

// Big-endian units whatever the machine's order; longer input is cut to the buffer.
TEST(BMPToHCSET, ConvertsBigEndianUnitsWithinTheBuffer) {
  const std::uint8_t bmp[] = {0x00, 0x41, 0x20, 0xAC};
  std::vector<char> out(4096);
  EXPECT_EQ(BMPToHCSET(bmp, sizeof bmp, out.data(), 16), 4);
  EXPECT_STREQ(out.data(), "A\xE2\x82\xAC");
  Bytes longer;
  for (int i = 0; i < 1000; ++i) longer.insert(longer.end(), {0x00, 'x'});
  EXPECT_EQ(BMPToHCSET(longer.data(), static_cast<std::int32_t>(longer.size()), out.data(), 4096),
            kConversionBufferSize / 2);
  EXPECT_EQ(BmpToDisplay(longer.data(), longer.size(), out.data(), out.size()),
            kConversionBufferSize / 2);
}

TEST(DisplayConversions, T61NeedsTablesAndEmptyStepsStop) {
  const std::uint8_t t61[] = {'Z', 0xFC, 'r', 'i', 'c', 'h'};
  char out[32];
  HostSetTranslationTablesAvailable(false);
  EXPECT_EQ(T61ToHCSET(t61, sizeof t61, out, sizeof out), 0);
  EXPECT_EQ(T61ToDisplay(t61, sizeof t61, out, sizeof out), 0);
  HostSetTranslationTablesAvailable(true);
  EXPECT_EQ(T61ToHCSET(t61, sizeof t61, out, sizeof out), 7);
  EXPECT_EQ(Utf8ToDisplay(nullptr, 0, out, sizeof out), 0);
  const std::uint8_t half[] = {0x41};  // half a BMP unit
  EXPECT_EQ(BmpToDisplay(half, 1, out, sizeof out), 0);
  const Bytes utf8 = Text("Gen\xC3\xA8ve");
  EXPECT_EQ(Utf8ToDisplay(utf8.data(), utf8.size(), out, 5), 3);  // no split letter
  EXPECT_STREQ(out, "Gen");
}

// (UTF8String and BMPString configured: the built vectors and BuildSubjectName.)
TEST(ConvertIntlString, T61StringIsIso8859OneElseUtf8String) {
  IntlEncodingScope scope(0x14);
  const std::string euro = "Z\xC3\xBC \xE2\x82\xAC";
  const struct {
    std::string text;
    int wantTag;
    Bytes want;
  } kTests[] = {
      {"Zo\xC3\xAB", 0x14, {'Z', 'o', 0xEB}},
      {euro, 0x0C, Text(euro)},  // beyond ISO 8859-1: kept whole
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.text);
    DnValue value{};
    EXPECT_EQ(ConvertIntlString(c.text.data(), c.text.size(), &value),
              static_cast<std::int32_t>(c.want.size()));
    ASSERT_NE(value.bytes, nullptr);
    EXPECT_NE(reinterpret_cast<const char*>(value.bytes), c.text.data());
    EXPECT_EQ(
        std::tuple(value.stringTag, value.owned, Bytes(value.bytes, value.bytes + value.length)),
        std::tuple(c.wantTag, 1, c.want));
    std::free(value.bytes);
  }
}

}  // namespace
}  // namespace kcertadm
