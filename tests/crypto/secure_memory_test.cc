#include "crypto/secure_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kcertadm {
namespace {

TEST(SecureWipe, ZeroesEveryByte) {
  unsigned char buffer[64];
  std::memset(buffer, 0xA5, sizeof buffer);
  SecureWipe(buffer, sizeof buffer);
  for (unsigned char b : buffer) EXPECT_EQ(b, 0);
}

TEST(SecureWipe, AcceptsNullAndEmpty) {
  SecureWipe(nullptr, 10);
  unsigned char one = 7;
  SecureWipe(&one, 0);
  EXPECT_EQ(one, 7);
}

TEST(SecureBytes, BehavesAsAVector) {
  SecureBytes bytes = {1, 2, 3};
  bytes.push_back(4);
  ASSERT_EQ(bytes.size(), 4u);
  EXPECT_EQ(bytes[3], 4);
  SecureString text = "secret";
  text += "!";
  EXPECT_EQ(text, "secret!");
}

}  // namespace
}  // namespace kcertadm
