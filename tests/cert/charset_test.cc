// Host character services: UTF-8 host text, UCS-2 in machine order, and the
// T61String translation table.
#include "host/charset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kcertadm {
namespace {

std::vector<std::uint8_t> Ucs2(std::initializer_list<std::uint16_t> units) {
  std::vector<std::uint8_t> out(units.size() * 2);
  std::size_t i = 0;
  for (std::uint16_t u : units) {
    std::memcpy(&out[i], &u, 2);
    i += 2;
  }
  return out;
}

TEST(HostUnicodeToText, ConvertsAndBoundsOutput) {
  const struct { const char* name; std::vector<std::uint8_t> in; std::size_t size; std::string want; } kTests[] = {
      {"ascii", Ucs2({'A', 'B'}), 16, "AB"},
      {"surrogate pair joins", Ucs2({0xD83D, 0xDE00}), 16, "\xF0\x9F\x98\x80"},
      {"lone high surrogate", Ucs2({0xD83D, 'A'}), 16, "\xEF\xBF\xBD" "A"},
      {"odd final octet ignored", {'A', 0, 'B'}, 16, "A"},
      // The terminator needs one octet: three characters do not fit in 3.
      {"cut at size", Ucs2({'A', 'B', 'C'}), 3, "AB"},
      // A character that does not fit whole is not split.
      {"no split character", Ucs2({'A', 0xE9}), 3, "A"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    char out[16];
    std::memset(out, 0x55, sizeof out);
    const auto n = HostUnicodeToText(c.in.data(), c.in.size(), out, c.size);
    EXPECT_EQ(n, c.want.size());
    EXPECT_EQ(std::string(out), c.want);
    for (std::size_t i = c.size; i < sizeof out; ++i) EXPECT_EQ(out[i], 0x55) << i;
  }
}

TEST(HostTextToUnicode, EncodesMachineOrderUnits) {
  const struct { const char* name; std::string in; std::size_t size; std::vector<std::uint8_t> want; } kTests[] = {
      {"two-octet letter", "\xC3\xA9", 16, Ucs2({0xE9})},
      {"beyond the BMP", "\xF0\x9F\x98\x80", 16, Ucs2({0xD83D, 0xDE00})},
      // Typed in ISO 8859-1: kept as that letter, not dropped.
      {"stray octet as latin-1", "Zo\xEB", 16, Ucs2({'Z', 'o', 0xEB})},
      {"room for whole units only", "ABC", 5, Ucs2({'A', 'B'})},
      {"pair does not fit", "A\xF0\x9F\x98\x80", 4, Ucs2({'A'})},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> out(c.size + 4, 0x55);
    const auto n = HostTextToUnicode(c.in.data(), c.in.size(), out.data(), c.size);
    ASSERT_EQ(n, c.want.size());
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + n), c.want);
    for (std::size_t i = c.size; i < out.size(); ++i) EXPECT_EQ(out[i], 0x55) << i;
  }
}

TEST(HostUtf8, CertificateTextIsRepairedHostTextIsKept) {
  struct Case {
    const char* name;
    std::string in;
    std::string fromCertificate;  // HostUtf8ToText
    std::string fromHost;         // HostTextToUtf8
  };
  const Case kTests[] = {
      {"stray octet", "a\xE9", "a\xEF\xBF\xBD", "a\xC3\xA9"},
      {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xC3\x80\xC2\xAF"},
      {"encoded surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
       "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"truncated sequence", "\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xC3\xA2\xC2\x82"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    char text[32];
    const auto* in = reinterpret_cast<const std::uint8_t*>(c.in.data());
    EXPECT_EQ(HostUtf8ToText(in, c.in.size(), text, sizeof text), c.fromCertificate.size());
    EXPECT_EQ(std::string(text), c.fromCertificate);
    std::uint8_t bytes[32];
    const auto n = HostTextToUtf8(c.in.data(), c.in.size(), bytes, sizeof bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), n), c.fromHost);
  }
}

TEST(HostTranslation, T61TableBothWays) {
  HostTranslationHandle table = nullptr;
  ASSERT_EQ(HostOpenTranslation(kTranslationTableT61, &table), 0);
  const std::uint8_t in[] = {'M', 0xFC, 'n', 'c', 'h', 'e', 'n'};
  for (int mode : {kTranslateToHost, kTranslateToNative}) {
    SCOPED_TRACE(mode);
    char out[32];
    std::uint16_t length = sizeof out;
    ASSERT_EQ(HostTranslate(in, sizeof in, out, &length, mode, table), 0);
    EXPECT_EQ(std::string(out, length), "M\xC3\xBCnchen");
    EXPECT_EQ(out[length], '\0');
  }
  char small[3];
  std::uint16_t length = sizeof small;
  ASSERT_EQ(HostTranslate(in, sizeof in, small, &length, kTranslateToHost, table), 0);
  EXPECT_EQ(std::string(small, length), "M");  // the two-octet letter does not fit
  EXPECT_NE(HostTranslate(in, sizeof in, small, &length, 3, table), 0);
  const struct { const char* name; std::string in; std::uint16_t room; int status; std::string want; } kTests[] = {
      {"latin-1 letters", "M\xC3\xBCnchen", 16, 0, "M\xFCnchen"},
      {"euro sign has no octet", "5 \xE2\x82\xAC", 16, 3, ""},
      {"no room", "abc", 2, 4, ""},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    char out[16];
    std::uint16_t room = c.room;
    const auto* text = reinterpret_cast<const std::uint8_t*>(c.in.data());
    EXPECT_EQ(HostTranslate(text, c.in.size(), out, &room, kTranslateFromHost, table), c.status);
    EXPECT_EQ(std::string(out, room), c.want);
  }
  HostCloseTranslation(table);
}

}  // namespace
}  // namespace kcertadm
