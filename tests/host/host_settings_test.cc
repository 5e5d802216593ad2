#include "host/host_settings.h"

#include <gtest/gtest.h>

#include <utility>

#include "support/test_files.h"

namespace kcertadm {
namespace {

using test_support::ScopedEnv;

TEST(HostReadSettingNumber, FallsBackOnAnythingButANumber) {
  constexpr const char* kName = "KCERTADM_TEST_SETTING";
  const std::pair<std::optional<std::string>, std::int32_t> kTests[] = {
      {std::nullopt, 100},  {"", 100},  {"0", 0},
      {" 2 ", 2},           {"-7", -7}, {"two", 100},  // not a number
      {"2x", 100},                                     // trailing garbage is not silently ignored
      {"99999999999", 100},                            // out of range
  };
  for (const auto& [value, expected] : kTests) {
    SCOPED_TRACE(value.value_or("<unset>"));
    ScopedEnv env(kName, value);
    EXPECT_EQ(HostReadSettingNumber(kName, 100), expected);
  }
}

TEST(HostGetDataDirectory, DefaultsToCurrentDirectoryAndJoinsWithOneSlash) {
  const std::pair<std::optional<std::string>, const char*> kTests[] = {
      {std::nullopt, "./k.kyr"},
      {"", "./k.kyr"},
      {"/srv/keys//", "/srv/keys/k.kyr"},
      {"/", "/k.kyr"},
  };
  for (const auto& [value, file] : kTests) {
    SCOPED_TRACE(value.value_or("<unset>"));
    ScopedEnv env("KCERTADM_DATA_DIR", value);
    EXPECT_EQ(HostJoinPath(HostGetDataDirectory(), "k.kyr"), file);
  }
  EXPECT_EQ(HostJoinPath("", "k.kyr"), "k.kyr");
}

}  // namespace
}  // namespace kcertadm
