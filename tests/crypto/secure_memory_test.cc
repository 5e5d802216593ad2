// SecureBlockList: zeroed and copied blocks, release through the block's
// own function, resizing in place of the entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crypto/secure_block_list.h"

namespace kcertadm {
namespace {

std::vector<void*> g_released;

void RecordRelease(void* data) {
  g_released.push_back(data);
  std::free(data);
}

TEST(SecureBlockList, BlocksAreZeroedAndCopied) {
  SecureBlockList list;
  for (int i = 0; i < 11; ++i) {  // past the first growth of the entry array
    auto* zeroed = static_cast<std::uint8_t*>(list.Allocate(32));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(std::count(zeroed, zeroed + 32, 0), 32);
  }
  const char secret[] = "secret";
  void* copy = list.AllocateCopy(secret, sizeof(secret));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy, secret, sizeof(secret)), 0);
  EXPECT_TRUE(list.Owns(copy));
}

TEST(SecureBlockList, OwnReleaseFunctionIsCalledOnceForEveryPath) {
  g_released.clear();
  void* a = std::malloc(8);
  void* b = std::malloc(8);
  void* c = std::malloc(8);
  {
    SecureBlockList list;
    ASSERT_TRUE(list.Adopt(a, 8, RecordRelease));
    ASSERT_TRUE(list.Adopt(b, 8, RecordRelease));
    ASSERT_TRUE(list.Adopt(c, 8, RecordRelease));
    list.Release(b);
    EXPECT_EQ(g_released, std::vector<void*>{b});
    list.Release(b);  // no longer owned: ignored
    EXPECT_EQ(list.count(), 2u);
    list.ReleaseAll();
    EXPECT_EQ(list.count(), 0u);
  }  // destruction releases nothing twice
  EXPECT_EQ(g_released.size(), 3u);
}

TEST(SecureBlockList, ResizeKeepsContentsAndOwnership) {
  SecureBlockList list;
  auto* block = static_cast<std::uint8_t*>(list.AllocateCopy("abcd", 4));
  ASSERT_NE(block, nullptr);
  auto* grown = static_cast<std::uint8_t*>(list.Resize(block, 64));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::memcmp(grown, "abcd", 4), 0);
  EXPECT_EQ(grown[63], 0);
  EXPECT_TRUE(list.Owns(grown));
  EXPECT_EQ(list.count(), 1u);
  int outside = 0;
  EXPECT_EQ(list.Resize(&outside, 8), nullptr);
}

}  // namespace
}  // namespace kcertadm
