#include "host/host_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kcertadm {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(HostCompareString, IgnoresOnlyAsciiLetterCase) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } const kTests[] = {
      {"CreateKeyFile", "createkeyfile", 0},
      {"KEYFILE", "KeyFile", 0},
      {"KeyFile", "KeyFil", 1},       // a longer text never equals its prefix
      {"", "", 0},
      {"a", "B", -1},                 // ordered after folding
      {"\xC3\x84", "\xC3\xA4", -1},   // UTF-8 letters are compared exactly (Ä vs ä)
      {"[", "{", -1},                 // punctuation is not folded
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(Sign(HostCompareString(c.a, c.b)), c.sign);
  }
}

TEST(HostCompareStringCounted, ComparesLeadingCharacters) {
  struct Case {
    const char* a;
    const char* b;
    std::size_t count;
    bool equal;
  } const kTests[] = {
      {"Key", "KeyFile", 3, true},
      {"key", "KeyFile", 3, true},
      {"KeyX", "KeyFile", 4, false},
      {"KeyFileX", "KeyFile", 8, false},  // the shorter text ends inside the count
      {"", "CommonName", 0, true},        // nothing compared: equal
      {"abc", "abd", 2, true},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(HostCompareStringCounted(c.a, c.b, c.count) == 0, c.equal);
  }
}

TEST(HostCompareText, IsExact) {
  EXPECT_EQ(HostCompareText("en", "en"), 0);
  EXPECT_NE(HostCompareText("EN", "en"), 0);
  EXPECT_NE(HostCompareText("label", "label "), 0);
}

TEST(HostStringCopy, NeverOverrunsAndReportsCuts) {
  char buffer[6];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(HostStringCopy(buffer, sizeof buffer, "abc"));
  EXPECT_STREQ(buffer, "abc");
  EXPECT_TRUE(HostStringAppend(buffer, sizeof buffer, "de"));
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_FALSE(HostStringAppend(buffer, sizeof buffer, "f"));
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_FALSE(HostStringCopy(buffer, 3, "long"));
  EXPECT_STREQ(buffer, "lo");
  EXPECT_FALSE(HostStringCopy(buffer, 0, "a"));  // no room at all: nothing written
  EXPECT_STREQ(buffer, "lo");
}

TEST(HostFoldCase, LowersAsciiOnly) {
  std::string text = "De-AT \xC3\x84Z";
  HostFoldCase(text);
  EXPECT_EQ(text, "de-at \xC3\x84z");
  char raw[] = "EN";
  HostFoldCase(raw);
  EXPECT_STREQ(raw, "en");
  HostFoldCase(static_cast<char*>(nullptr));
}

TEST(HostFindString, FindsPatterns) {
  EXPECT_TRUE(HostFindString("-----BEGIN CERTIFICATE-----", "BEGIN"));
  EXPECT_FALSE(HostFindString("-----END", "BEGIN"));
  EXPECT_TRUE(HostFindString("abc", ""));
}

TEST(HostFormat, FormatsLikePrintf) {
  EXPECT_EQ(HostFormat("%02d%02d%02d", 9, 12, 31), "091231");
  EXPECT_EQ(HostFormat("%s-%s", "a", "b"), "a-b");
  EXPECT_EQ(HostFormat("%s", ""), "");
  const std::string big(5000, 'z');
  EXPECT_EQ(HostFormat("%s!", big.c_str()).size(), 5001u);
}

}  // namespace
}  // namespace kcertadm
