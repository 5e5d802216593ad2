// The stash file: its name, its 129 masked bytes, and what reads back.
#include <gtest/gtest.h>

#include "keyring/stash.h"
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(StashFileName, ReplacesAShortExtensionOrAppends) {
  const struct { const char* keyRing; const char* stash; } kTests[] = {
      {"keyfile.kyr", "keyfile.sth"}, {"ring.", "ring.sth"},
      {"keys.data", "keys.data.sth"},  // the dot is five from the end
      {"master", "master.sth"},        {"/keys/a.b.c", "/keys/a.b.sth"},
      {"/dir.d/keyfile", "/dir.d/keyfile.sth"},
  };
  for (const auto& c : kTests) EXPECT_EQ(StashFileName(c.keyRing), c.stash) << c.keyRing;
  std::string deep(5000, 'd');
  EXPECT_EQ(StashFileName(deep + "/ring.kyr"), deep + "/ring.sth");
}

// The expected file: password, zero, filler i at offset i, all masked.
Bytes ExpectedStash(const std::string& password) {
  Bytes block(129);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  std::copy(password.begin(), password.end(), block.begin());
  block[password.size()] = 0;
  for (auto& b : block) b ^= 0x9D;
  return block;
}

TEST(Stash, WritesTheMaskedBlockAndReadsItBack) {
  TempDir dir;
  std::string ring = dir.Path("keyfile.kyr");
  for (std::string password : {std::string(), std::string(128, 'q'), std::string("\xff\x80 x")}) {
    SCOPED_TRACE(password.size());
    ASSERT_EQ(StashWrite(ring, password), 0);
    EXPECT_EQ(ReadFileBytes(dir.Path("keyfile.sth")), ExpectedStash(password));
    auto back = StashRead(ring);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::string(back->begin(), back->end()), password);
  }
}

TEST(Stash, RefusesWhatDoesNotFitAndKeepsTheOldFile) {
  TempDir dir;
  std::string ring = dir.Path("keyfile.kyr");
  ASSERT_EQ(StashWrite(ring, "old"), 0);
  EXPECT_EQ(StashWrite(ring, std::string(129, 'x')), 7);  // would lose its terminator
  EXPECT_EQ(ReadFileBytes(dir.Path("keyfile.sth")), ExpectedStash("old"));
  EXPECT_EQ(StashWrite("", "pw"), 1);
  EXPECT_EQ(StashWrite(dir.Path("missing/keyfile.kyr"), "pw"), 7);
  EXPECT_EQ(dir.Files().size(), 1u);
}

TEST(Stash, UnreadableStashesGiveNoPassword) {
  TempDir dir;
  std::string ring = dir.Path("keyfile.kyr");
  EXPECT_FALSE(StashRead(ring)) << "no stash file";
  EXPECT_FALSE(StashRead("")) << "empty path";
  WriteFileBytes(dir.Path("keyfile.sth"), test::Slice(ExpectedStash("pw"), 0, 128));
  EXPECT_FALSE(StashRead(ring)) << "128 bytes are too short";
  WriteFileBytes(dir.Path("keyfile.sth"), Bytes(129, 0x9D ^ 'a'));
  EXPECT_FALSE(StashRead(ring)) << "no terminator anywhere in the block";
  Bytes longer = ExpectedStash("pw");
  longer.push_back(0);
  WriteFileBytes(dir.Path("keyfile.sth"), longer);
  auto back = StashRead(ring);
  ASSERT_TRUE(back) << "bytes after the block are ignored";
  EXPECT_EQ(std::string(back->begin(), back->end()), "pw");
}

}  // namespace
}  // namespace kcertadm
