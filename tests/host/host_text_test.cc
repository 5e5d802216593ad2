#include "host/host_text.h"

#include <gtest/gtest.h>

namespace kcertadm {
namespace {

// Lookups fold ASCII letters only: a fold setting bit 0x20 of every byte would match these pairs.
TEST(HostCompareString, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(HostCompareString("CreateKeyFile", "cREATEkEYfILE"), 0);
  EXPECT_NE(HostCompareString("\xC3\x84", "\xC3\xA4"), 0);  // Ä and ä
  EXPECT_NE(HostCompareString("[", "{"), 0);
}

TEST(HostStringCopy, NeverOverrunsAndReportsCuts) {
  char buffer[6] = "xxxxx";
  EXPECT_TRUE(HostStringCopy(buffer, sizeof buffer, "abcde"));
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
