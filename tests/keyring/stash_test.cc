// The stash file: its name, its 129 masked bytes, and what reads back.
#include "keyring/stash.h"

#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using namespace test;

TEST(StashFileName, ReplacesAShortExtensionOfTheLastComponentOrAppends) {
  const std::string deep(5000, 'd');
  // Names whose stash files are already stored keep their stash name.
  const struct {
    std::string keyRing, stash;
  } kKept[] = {
      {"keyfile.kyr", "keyfile.sth"},
      {"ring.", "ring.sth"},
      {"keys.data", "keys.data.sth"},  // the dot is five from the end
      {"master", "master.sth"},
      {"/keys/a.b.c", "/keys/a.b.sth"},
      {"/dir.d/keyfile", "/dir.d/keyfile.sth"},
      {deep + "/ring.kyr", deep + "/ring.sth"},
      {"a.b/cd", "a.b/cd.sth"},  // the dot is four from the end, but a slash comes first
      {"d/.k", "d/.sth"},
      {"d/x.k", "d/x.sth"},
      {"/.kyr", "/.sth"},
  };
  for (const auto& c : kKept) EXPECT_EQ(StashFileName(c.keyRing), c.stash) << c.keyRing.size();
  // A dot among the last four characters but before the last slash belongs
  // to a directory: the stash stays beside the ring instead of becoming
  // "./.sth", "ca.sth" or "../.sth", shared by every ring so named.
  const struct {
    std::string keyRing, stash;
  } kFixed[] = {
      {"./r1", "./r1.sth"},     {"./r2", "./r2.sth"}, {"ca.d/a", "ca.d/a.sth"},
      {"x/.d/k", "x/.d/k.sth"}, {"../r", "../r.sth"}, {"/a.b/", "/a.b/.sth"},
  };
  for (const auto& c : kFixed) EXPECT_EQ(StashFileName(c.keyRing), c.stash) << c.keyRing;
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

std::string ReadBack(const std::string& ring) {
  const auto password = StashRead(ring);
  return password ? std::string(password->begin(), password->end()) : "<none>";
}

TEST(Stash, WritesTheMaskedBlockAndReadsItBack) {
  TempDir dir;
  const std::string ring = dir / "keyfile.kyr", stash = dir / "keyfile.sth";
  EXPECT_EQ(std::pair(ReadBack(ring), ReadBack("")),
            std::pair(std::string("<none>"), std::string("<none>")));
  for (std::string password : {std::string(), std::string(128, 'q'), std::string("\xff\x80 x")}) {
    ASSERT_EQ(StashWrite(ring, password), 0);
    EXPECT_EQ(std::pair(ReadFileBytes(stash), ReadBack(ring)),
              std::pair(ExpectedStash(password), password));
  }
  EXPECT_EQ(StashWrite("", "pw"), 1);
  EXPECT_EQ(StashWrite(dir / "missing/keyfile.kyr", "pw"), 7);
  EXPECT_EQ(dir.Files().size(), 1u);
  const struct {
    const char* why;
    Bytes file;
    std::string want;
  } kTests[] = {
      {"128 bytes are too short", Slice(ExpectedStash("pw"), 0, 128), "<none>"},
      {"no terminator anywhere in the block", Bytes(129, 0x9D ^ 'a'), "<none>"},
      {"bytes after the block are ignored", Cat({ExpectedStash("pw"), {0}}), "pw"},
  };
  for (const auto& c : kTests) {
    WriteFileBytes(stash, c.file);
    EXPECT_EQ(ReadBack(ring), c.want) << c.why;
  }
}

// Two rings in a directory whose name has a short extension each keep
// their own password: neither stash lands in the parent directory.
TEST(Stash, RingsInADottedDirectoryKeepTheirOwnStash) {
  TempDir dir;
  std::filesystem::create_directory(dir / "ca.d");
  ASSERT_EQ(StashWrite(dir / "ca.d/a", "password of a"), 0);
  ASSERT_EQ(StashWrite(dir / "ca.d/b", "password of b"), 0);
  EXPECT_EQ(std::pair(ReadBack(dir / "ca.d/a"), ReadBack(dir / "ca.d/b")),
            std::pair(std::string("password of a"), std::string("password of b")));
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"ca.d"});
}

}  // namespace
}  // namespace kcertadm
