#include "host/host_text.h"

#include <gtest/gtest.h>

namespace kcertadm {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(HostCompareString, IgnoresOnlyAsciiLetterCase) {
  struct Case {
    const char* a;
    const char* b;
    std::size_t count;  // 0: whole texts
    int sign;
  } const kTests[] = {
      {"CreateKeyFile", "createkeyfile", 0, 0},
      {"KeyFile", "KeyFil", 0, 1},            // a longer text never equals its prefix
      {"a", "B", 0, -1},                      // ordered after folding
      {"\xC3\x84", "\xC3\xA4", 0, -1},        // UTF-8 letters are compared exactly (Ä vs ä)
      {"[", "{", 0, -1},                      // punctuation is not folded
      {"key", "KeyFile", 3, 0},
      {"KeyX", "KeyFile", 4, 1},
      {"KeyFileX", "KeyFile", 8, 1},          // the shorter text ends inside the count
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(Sign(c.count == 0 ? HostCompareString(c.a, c.b) : HostCompareStringCounted(c.a, c.b, c.count)),
              c.sign);
  }
}

TEST(HostStringCopy, NeverOverrunsAndReportsCuts) {
  char buffer[6] = "xxxxx";
  EXPECT_TRUE(HostStringCopy(buffer, sizeof buffer, "abc"));
  EXPECT_TRUE(HostStringAppend(buffer, sizeof buffer, "de"));
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_FALSE(HostStringAppend(buffer, sizeof buffer, "f"));
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_FALSE(HostStringCopy(buffer, 3, "long"));
  EXPECT_STREQ(buffer, "lo");
  EXPECT_FALSE(HostStringCopy(buffer, 0, "a"));  // no room at all: nothing written
  EXPECT_STREQ(buffer, "lo");
}

TEST(HostFormat, IsNotLimitedToAFixedBuffer) {
  EXPECT_EQ(HostFormat("%02d%s", 9, "-a"), "09-a");
  EXPECT_EQ(HostFormat("%s!", std::string(5000, 'z').c_str()).size(), 5001u);
}

}  // namespace
}  // namespace kcertadm
