#include "host/host_random.h"

#include <gtest/gtest.h>

#include <set>

namespace kcertadm {
namespace {

TEST(HostRandomWord, VariesAndUsesBothBytes) {
  std::set<std::uint16_t> seen;
  bool high_byte_used = false;
  for (int i = 0; i < 64; ++i) {
    const std::uint16_t word = HostRandomWord();
    seen.insert(word);
    high_byte_used = high_byte_used || (word >> 8) != 0;
  }
  // 64 draws of 16 bits repeat often only when the source is broken.
  EXPECT_GT(seen.size(), 56u);
  EXPECT_TRUE(high_byte_used);
}

TEST(HostRandomBytes, FillsLargeBuffers) {
  std::uint8_t buffer[4096] = {};
  ASSERT_TRUE(HostRandomBytes(buffer, sizeof buffer));
  int zeros = 0;
  for (std::uint8_t b : buffer) zeros += b == 0;
  EXPECT_LT(zeros, 64);  // about 16 expected
  EXPECT_TRUE(HostRandomBytes(nullptr, 0));
  EXPECT_FALSE(HostRandomBytes(nullptr, 1));
}

}  // namespace
}  // namespace kcertadm
