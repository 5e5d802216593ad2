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
  EXPECT_EQ(BMPToHCSET(longer.data(), static_cast<std::int32_t>(longer.size()), out.data(), 4096), kConversionBufferSize / 2);
  EXPECT_EQ(BmpToDisplay(longer.data(), longer.size(), out.data(), out.size()), kConversionBufferSize / 2);
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

TEST(ConvertIntlString, ProducesTheConfiguredType) {
  const std::string zoe = "Zo\xC3\xAB", euro = "Z\xC3\xBC \xE2\x82\xAC";
  const struct { int tag; std::string text; int wantTag; Bytes want; } kTests[] = {
      // (UTF8String and BMPString: the built vectors and BuildSubjectName.)
      {0x14, zoe, 0x14, {'Z', 'o', 0xEB}},                    // T61String read as ISO 8859-1
      {0x14, euro, 0x0C, Text(euro)},  // beyond ISO 8859-1: kept whole as UTF8String
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.text);
    IntlEncodingScope scope(c.tag);
    DnValue value{};
    EXPECT_EQ(ConvertIntlString(c.text.data(), c.text.size(), &value), static_cast<std::int32_t>(c.want.size()));
    ASSERT_NE(value.bytes, nullptr);
    EXPECT_NE(reinterpret_cast<const char*>(value.bytes), c.text.data());
    EXPECT_EQ(std::tuple(value.stringTag, value.owned, Bytes(value.bytes, value.bytes + value.length)),
              std::tuple(c.wantTag, 1, c.want));
    std::free(value.bytes);
  }
  IntlEncodingScope scope(0x0C);
  const char* empty = "";
  DnValue value{};
  EXPECT_EQ(ConvertIntlString(empty, 0, &value), 0);
  EXPECT_EQ(std::tuple(value.bytes, value.length, value.owned),
            std::tuple(reinterpret_cast<const std::uint8_t*>(empty), 0, 0)) << "nothing produced keeps the caller's text";
}

}  // namespace
}  // namespace kcertadm
