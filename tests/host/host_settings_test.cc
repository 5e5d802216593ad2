#include "host/host_settings.h"

#include <gtest/gtest.h>

#include "host/scoped_env.h"

namespace kcertadm {
namespace {

using testing::ScopedEnv;

TEST(HostReadSettingNumber, FallsBackOnAnythingButANumber) {
  constexpr const char* kName = "KCERTADM_TEST_SETTING";
  struct Case {
    std::optional<std::string> value;
    std::int32_t expected;
  } const kTests[] = {
      {std::nullopt, 100}, {"", 100}, {"0", 0}, {" 2 ", 2}, {"-7", -7},
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

TEST(HostGetDataDirectory, DefaultsToCurrentDirectoryAndJoinsWithOneSlash) {
  struct Case {
    std::optional<std::string> value;
    const char* file;
  } const kTests[] = {
      {std::nullopt, "./k.kyr"}, {"", "./k.kyr"}, {"/srv/keys//", "/srv/keys/k.kyr"}, {"/", "/k.kyr"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.value.value_or("<unset>"));
    ScopedEnv env("KCERTADM_DATA_DIR", c.value);
    EXPECT_EQ(HostJoinPath(HostGetDataDirectory(), "k.kyr"), c.file);
  }
  EXPECT_EQ(HostJoinPath("", "k.kyr"), "k.kyr");
}

}  // namespace
}  // namespace kcertadm
