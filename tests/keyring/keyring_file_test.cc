// The key ring file: password rules, every class of damage and the record
// limits. (Its byte layout is pinned by the independent layout script, writes
// that fail part way by the crash-safety tests.)
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

#include "crypto/random_md5.h"
#include "crypto/random_shared.h"
#include "crypto/toolkit_scope.h"
#include "keyring/keyring.h"
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using test::Md5Of;
using test::ReadFileBytes;
using test::WriteFileBytes;

// The header of a key ring without password, then records by hand.
Bytes PlainHeader() {
  Bytes header = {0x37, 0x48, 0x01, 0x01, 0, 0, 0, 0};
  Bytes check = Md5Of(header);
  header.insert(header.end(), check.begin(), check.begin() + 8);
  return header;
}

// Appends the end marker and the trailer of a ring without password.
Bytes Seal(Bytes body) {
  body.insert(body.end(), 16, 0);
  Bytes trailer = Md5Of(body);
  body.insert(body.end(), trailer.begin(), trailer.end());
  return body;
}

class KeyRingFileTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyRingClear(); }
  void TearDown() override { KeyRingClear(); }
  void ExpectEmptyRing() {
    EXPECT_EQ(KeyRingEntryCount(), 0u);
    EXPECT_FALSE(KeyRingHasPassword());
    EXPECT_EQ(KeyRingHeaderWord(), 0u);
  }
  // A ring of two certificate entries, written without password.
  Bytes WriteTwoEntryRing(const std::string& path) {
    KeyRingEntry newer = test::SampleEntry("newer", 2);
    newer.flags = kKeyRingTrustedRoot | 0x80;
    EXPECT_EQ(KeyRingInsertEntry(test::SampleEntry("older", 1)), 0);
    EXPECT_EQ(KeyRingInsertEntry(newer), 0);
    EXPECT_EQ(KeyRingWrite(path, std::nullopt), 0);
    return ReadFileBytes(path);
  }
  test::TempDir dir_;
};

TEST_F(KeyRingFileTest, PasswordRules) {
  std::string plain = dir_.Path("plain.kyr"), locked = dir_.Path("locked.kyr"), later = dir_.Path("later.kyr");
  ASSERT_EQ(KeyRingWrite(plain, std::nullopt), 0);
  ASSERT_EQ(KeyRingWrite(dir_.Path("empty.kyr"), ""), 0);
  EXPECT_EQ(ReadFileBytes(plain), ReadFileBytes(dir_.Path("empty.kyr"))) << "none writes as the empty one";
  EXPECT_EQ(KeyRingWrite(dir_.Path("nodir/x.kyr"), std::nullopt), 2);
  KeyRingClear();
  ASSERT_EQ(KeyRingWrite(locked, "secret"), 0);  // adopts the password
  ASSERT_EQ(KeyRingWrite(later, "another"), 0);  // keeps the adopted one
  const struct { const char* name; std::string path; OptionalPassword password; int status; } kTests[] = {
      {"no password, opened without", plain, std::nullopt, 0},
      {"no password, opened with empty", plain, "", 0},
      {"no password, opened with one", plain, "secret", 4},
      {"password, opened without", locked, std::nullopt, 4},
      {"password, opened with it", locked, "secret", 0},
      {"password, opened with a prefix", locked, "secre", 4},
      {"a later write keeps the first password", later, "secret", 0},
      {"missing file", dir_.Path("missing.kyr"), std::nullopt, 2},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(KeyRingOpen(c.path, c.password), c.status);
    if (c.status != 0) ExpectEmptyRing();
  }
}

// Any damage leaves the ring empty; the status names the class of damage.
TEST_F(KeyRingFileTest, EveryDamagedOrTruncatedFileIsRefused) {
  std::string path = dir_.Path("two.kyr");
  const Bytes good = WriteTwoEntryRing(path);
  // The first record: its lengths at 16, its flags at 30, its body at 32.
  const struct { const char* why; std::size_t offset; int status; } kTests[] = {
      {"magic", 1, 3},
      {"format byte", 3, 3},
      {"header word is under the check value", 7, 4},
      {"check value", 15, 4},
      {"record bytes are under the trailer", 44, 3},
      {"flags", 30, 3},
      {"reserved byte", 31, 3},
      {"end marker becomes a record longer than the file", good.size() - 20, 1},
      {"trailer", good.size() - 1, 3},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(std::string(c.why) + " at " + std::to_string(c.offset));
    Bytes bad = good;
    bad[c.offset] ^= 0x01;
    WriteFileBytes(path, bad);
    EXPECT_EQ(KeyRingOpen(path, std::nullopt), c.status);
    ExpectEmptyRing();
  }
  for (std::size_t size = 0; size < good.size(); ++size) {
    SCOPED_TRACE(size);
    WriteFileBytes(path, test::Slice(good, 0, size));
    int status = KeyRingOpen(path, std::nullopt);
    EXPECT_TRUE(status == 1 || status == 3) << status;
    ExpectEmptyRing();
  }
  Bytes longer = good;
  longer.push_back(0x55);  // bytes after the trailer are not read
  WriteFileBytes(path, longer);
  EXPECT_EQ(KeyRingOpen(path, std::nullopt), 0);
  EXPECT_EQ(KeyRingEntryCount(), 2u);
}

TEST_F(KeyRingFileTest, RecordsAreLimitedTo8000BytesAnd16BitFields) {
  std::string path = dir_.Path("big.kyr");
  const struct { const char* why; std::size_t bodyLength, bytesPresent; int status; } kTests[] = {
      {"a body over the record buffer is refused before reading it", 8001, 8001, 1},
      {"the largest body, followed by end marker and trailer", 8000, 8000, 0},
      {"a body longer than the file", 100, 50, 1},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    // A label of one zero byte; the rest of the body is certificates.
    const std::size_t n = c.bodyLength - 1;
    Bytes file = PlainHeader();
    Bytes record = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n), 0, 0, 0, 0};
    file.insert(file.end(), record.begin(), record.end());
    file.insert(file.end(), c.bytesPresent, 0x42);
    file[32] = 0;  // the label's terminator
    WriteFileBytes(path, c.bytesPresent == c.bodyLength ? Seal(file) : file);
    EXPECT_EQ(KeyRingOpen(path, std::nullopt), c.status);
  }
  KeyRingClear();
  KeyRingEntry tooLong = test::SampleEntry("long", 3);
  tooLong.auxiliaryData.assign(kKeyRingFieldMax + 1, 1);
  EXPECT_EQ(KeyRingInsertEntry(tooLong), 3);
  KeyRingEntry tooBig = test::SampleEntry("big", 3);
  tooBig.certificates.assign(8000, 1);
  EXPECT_EQ(KeyRingInsertEntry(tooBig), 7);
  EXPECT_EQ(KeyRingEntryCount(), 0u);
}

TEST_F(KeyRingFileTest, ALinkedRingIsReplacedWhereItLies) {
  std::string target = dir_.Path("target.kyr"), link = dir_.Path("link.kyr");
  ASSERT_EQ(KeyRingWrite(target, std::nullopt), 0);
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("new", 1)), 0);
  ASSERT_EQ(KeyRingWrite(link, std::nullopt), 0);
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(KeyRingOpen(target, std::nullopt), 0);
  EXPECT_EQ(KeyRingEntryCount(), 1u);
}

// Opening a key ring, right password or wrong, takes nothing from the
// shared random generator: commands that need no random bytes must not pay
// for seeding it. Any byte taken would shift what the generator gives next.
TEST_F(KeyRingFileTest, OpeningTakesNoRandomBytes) {
  const std::string path = dir_.Path("good.kyr");
  WriteTwoEntryRing(path);
  const std::uint8_t seed[] = "fixed seed of the test generator";
  for (const char* password : {static_cast<const char*>(nullptr), "not-the-password"}) {
    SCOPED_TRACE(password ? password : "(none)");
    AlgorithmObject* random = nullptr;
    {
      ToolkitScope lock;
      ASSERT_EQ(AlgCreate(&random), 0);
      ASSERT_EQ(AlgSetInfo(random, AlgInfoRandomMd5(), nullptr), 0);
      ASSERT_EQ(RandomInit(random, RandomMethods, nullptr), 0);
      ASSERT_EQ(RandomSeed(random, seed, sizeof seed, nullptr), 0);
    }
    InstallSharedRandomForTesting(random);
    EXPECT_EQ(KeyRingOpen(path, password), password ? kKeyRingWrongPassword : kKeyRingOk);
    std::uint8_t got[16], want[16];
    ASSERT_EQ(GetRandomBytes(got, sizeof got), 0);
    Md5RandomGenerator mirror;
    mirror.Seed(seed, sizeof seed);
    mirror.Generate(want, sizeof want);
    EXPECT_EQ(0, std::memcmp(got, want, sizeof got));
  }
  InstallSharedRandomForTesting(nullptr);
}

}  // namespace
}  // namespace kcertadm
