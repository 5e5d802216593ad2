#include "host/host_settings.h"

#include <gtest/gtest.h>

#include "host/scoped_env.h"

namespace kcertadm {
namespace {

using testing::ScopedEnv;

constexpr const char* kName = "KCERTADM_TEST_SETTING";

TEST(HostReadSetting, TellsAbsentFromEmpty) {
  {
    ScopedEnv env(kName, std::nullopt);
    EXPECT_FALSE(HostReadSetting(kName).has_value());
    char buffer[4] = "xyz";
    EXPECT_FALSE(HostReadSetting(kName, buffer, sizeof buffer));
  }
  ScopedEnv env(kName, "");
  EXPECT_EQ(HostReadSetting(kName), std::optional<std::string>(""));
}

TEST(HostReadSetting, BufferFormCutsLongValues) {
  ScopedEnv env(kName, "deutsch");
  char buffer[3];
  EXPECT_TRUE(HostReadSetting(kName, buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "de");
}

TEST(HostReadSettingNumber, FallsBackOnAnythingButANumber) {
  struct Case {
    std::optional<std::string> value;
    std::int32_t expected;
  } const kTests[] = {
      {std::nullopt, 100},
      {"", 100},
      {"0", 0},
      {"2", 2},
      {" 2 ", 2},
      {"-7", -7},
      {"two", 100},          // not a number
      {"2x", 100},           // trailing garbage is not silently ignored
      {"99999999999", 100},  // out of range
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.value.value_or("<unset>"));
    ScopedEnv env(kName, c.value);
    EXPECT_EQ(HostReadSettingNumber(kName, 100), c.expected);
  }
}

TEST(HostGetDataDirectory, DefaultsToCurrentDirectory) {
  struct Case {
    std::optional<std::string> value;
    const char* expected;
  } const kTests[] = {
      {std::nullopt, "."},
      {"", "."},
      {"/srv/keys", "/srv/keys"},
      {"/srv/keys//", "/srv/keys"},
      {"/", "/"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.value.value_or("<unset>"));
    ScopedEnv env("KCERTADM_DATA_DIR", c.value);
    EXPECT_EQ(HostGetDataDirectory(), c.expected);
  }
}

TEST(HostJoinPath, PutsOneSlash) {
  EXPECT_EQ(HostJoinPath("/a", "master.kyr"), "/a/master.kyr");
  EXPECT_EQ(HostJoinPath("/a/", "master.kyr"), "/a/master.kyr");
  EXPECT_EQ(HostJoinPath("", "master.kyr"), "master.kyr");
}

}  // namespace
}  // namespace kcertadm
