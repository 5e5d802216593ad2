#include "crypto/toolkit/secure_block_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kcertadm {
namespace {

TEST(SecureBlockList, BlocksAreZeroedCopiedAndResizedInPlaceOfTheEntry) {
  SecureBlockList list;
  for (int i = 0; i < 11; ++i) {  // past the first growth of the entry array
    auto* zeroed = static_cast<std::uint8_t*>(list.Allocate(32));
    ASSERT_TRUE(zeroed != nullptr && std::count(zeroed, zeroed + 32, 0) == 32);
  }
  auto* grown = static_cast<std::uint8_t*>(list.Resize(list.AllocateCopy("abcd", 4), 64));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(std::memcmp(grown, "abcd\0", 5), 0);
  EXPECT_EQ(grown[63], 0);
  EXPECT_TRUE(list.Owns(grown) && list.count() == 12u);
  int outside = 0;
  EXPECT_EQ(list.Resize(&outside, 8), nullptr);
}

std::vector<void*> g_released;

TEST(SecureBlockList, OwnReleaseFunctionIsCalledOnceForEveryPath) {
  auto record = [](void* data) { g_released.push_back(data), std::free(data); };
  void* blocks[] = {std::malloc(8), std::malloc(8), std::malloc(8)};
  {
    SecureBlockList list;
    for (void* block : blocks) ASSERT_TRUE(list.Adopt(block, 8, record));
    list.Release(blocks[1]);
    EXPECT_EQ(g_released, std::vector<void*>{blocks[1]});
    list.Release(blocks[1]);  // no longer owned: ignored
    list.ReleaseAll();
    EXPECT_EQ(list.count(), 0u);
  }  // destruction releases nothing twice
  EXPECT_EQ(g_released.size(), 3u);
}

}  // namespace
}  // namespace kcertadm
