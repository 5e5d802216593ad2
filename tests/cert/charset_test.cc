// Host text (UTF-8), UCS-2 in machine order, and the T61String translation table.
#include "host/charset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ucs2(std::initializer_list<std::uint16_t> units) {
  Bytes out(units.size() * 2);
  std::memcpy(out.data(), std::data(units), out.size());
  return out;
}

// Output beyond the given size is never touched.
TEST(HostUnicodeToText, ConvertsAndBoundsOutput) {
  const struct {
    const char* name;
    Bytes in;
    std::size_t size;
    std::string want;
  } kTests[] = {
      {"surrogate pair joins", Ucs2({0xD83D, 0xDE00}), 16, "\xF0\x9F\x98\x80"},
      {"lone high surrogate", Ucs2({0xD83D, 'A'}), 16,
       "\xEF\xBF\xBD"
       "A"},
      {"odd final octet ignored", {'A', 0, 'B'}, 16, "A"},
      {"the terminator needs one octet", Ucs2({'A', 'B', 'C'}), 3, "AB"},
      {"no split character", Ucs2({'A', 0xE9}), 3, "A"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    std::string out(16, '\x55');
    EXPECT_EQ(HostUnicodeToText(c.in.data(), c.in.size(), out.data(), c.size), c.want.size());
    EXPECT_EQ(out, c.want + '\0' + std::string(15 - c.want.size(), '\x55'));
  }
}

TEST(HostTextToUnicode, EncodesMachineOrderUnits) {
  const struct {
    const char* name;
    std::string in;
    std::size_t size;
    Bytes want;
  } kTests[] = {
      {"beyond the BMP", "\xF0\x9F\x98\x80", 16, Ucs2({0xD83D, 0xDE00})},
      {"stray octet kept as its latin-1 letter", "Zo\xEB", 16, Ucs2({'Z', 'o', 0xEB})},
      {"room for whole units only", "ABC", 5, Ucs2({'A', 'B'})},
      {"pair does not fit", "A\xF0\x9F\x98\x80", 4, Ucs2({'A'})},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    Bytes out(20, 0x55);
    const auto n = HostTextToUnicode(c.in.data(), c.in.size(), out.data(), c.size);
    ASSERT_EQ(n, c.want.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + n), c.want);
    EXPECT_EQ(Bytes(out.begin() + c.size, out.end()), Bytes(20 - c.size, 0x55));
  }
}

// Text from certificates is repaired; host text that is not UTF-8 is ISO 8859-1.
TEST(HostUtf8, CertificateTextIsRepairedHostTextIsKept) {
  const struct {
    const char* name;
    std::string in, fromCertificate, fromHost;
  } kTests[] = {
      {"stray octet", "a\xE9", "a\xEF\xBF\xBD", "a\xC3\xA9"},
      {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xC3\x80\xC2\xAF"},
      {"encoded surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
       "\xC3\xAD\xC2\xA0\xC2\x80"},
      {"truncated sequence", "\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xC3\xA2\xC2\x82"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    char text[32];
    EXPECT_EQ(HostUtf8ToText(reinterpret_cast<const std::uint8_t*>(c.in.data()), c.in.size(), text,
                             sizeof text),
              c.fromCertificate.size());
    EXPECT_EQ(std::string(text), c.fromCertificate);
    std::uint8_t bytes[32];
    const auto n = HostTextToUtf8(c.in.data(), c.in.size(), bytes, sizeof bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), n), c.fromHost);
  }
}

TEST(HostTranslation, T61TableBothWays) {
  HostTranslationHandle table = nullptr;
  ASSERT_EQ(HostOpenTranslation(kTranslationTableT61, &table), 0);
  const struct {
    const char* name;
    std::string in;
    int mode;
    std::uint16_t room;
    int status;
    std::string want;
  } kTests[] = {
      // (Whole translations both ways: T61ToHCSET, the T61 name reports and the T61String
      // conversion.)
      {"a two-octet letter that does not fit", "M\xFCnchen", kTranslateToHost, 3, 0, "M"},
      {"no room", "abc", kTranslateFromHost, 2, 4, ""},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    char out[32];
    std::memset(out, 'x', sizeof out);
    std::uint16_t room = c.room;
    const auto* in = reinterpret_cast<const std::uint8_t*>(c.in.data());
    const int status = HostTranslate(in, c.in.size(), out, &room, c.mode, table);
    EXPECT_EQ(std::pair(status, std::string(out, room)), std::pair(c.status, c.want));
    if (c.mode != kTranslateFromHost) {
      EXPECT_EQ(out[room], '\0');  // host text is terminated
    }
  }
  HostCloseTranslation(table);
}

}  // namespace
}  // namespace kcertadm
