#include "host/host_random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kcertadm {
namespace {

// Catches a source stuck at zero, repeating itself or filling only low bytes (a fair one fails <
// 1e-6).
TEST(HostRandom, WordsVaryAndBuffersFill) {
  std::set<std::uint16_t> words;
  for (int i = 0; i < 64; ++i) words.insert(HostRandomWord());
  EXPECT_GT(words.size(), 56u);
  EXPECT_GT(*words.rbegin(), 0xFFu);
  std::uint8_t buffer[4096] = {};
  ASSERT_TRUE(HostRandomBytes(buffer, sizeof buffer));
  EXPECT_LT(std::count(buffer, buffer + sizeof buffer, 0), 64);  // about 16 expected
  EXPECT_TRUE(HostRandomBytes(nullptr, 0));
  EXPECT_FALSE(HostRandomBytes(nullptr, 1));
}

}  // namespace
}  // namespace kcertadm
