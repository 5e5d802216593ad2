// Crash safety of key ring and stash files (killed processes: tests/hardening).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "keyring/file_lock.h"
#include "keyring/file_replace.h"
#include "keyring/keyring_test_util.h"
#include "keyring/stash.h"

namespace kcertadm {
namespace {

using namespace test;

constexpr char kPassword[] = "old password";
using Names = std::vector<std::string>;

class CrashSafetyTest : public KeyRingTest {
 protected:
  // A password-protected ring of two entries on disk, with its stash.
  void SetUp() override {
    KeyRingTest::SetUp();
    ASSERT_EQ(KeyRingInsertEntry(SampleEntry("first", 1)), 0);
    ASSERT_EQ(KeyRingInsertEntry(SampleEntry("second", 2)), 0);
    ASSERT_EQ(KeyRingWrite(ring_, kPassword), 0);
    ASSERT_EQ(StashWrite(ring_, kPassword), 0);
    oldRing_ = ReadFileBytes(ring_);
    oldStash_ = ReadFileBytes(StashFileName(ring_));
  }
  void TearDown() override {
    SetWriteFailureAfterForTesting(-1);
    SetReplaceFaultForTesting(ReplaceFault::kNone);
    KeyRingTest::TearDown();
  }
  // Both old files whole, and nothing else in the directory.
  void ExpectOldFiles() {
    EXPECT_EQ(std::pair(ReadFileBytes(ring_), ReadFileBytes(StashFileName(ring_))), std::pair(oldRing_, oldStash_));
    EXPECT_EQ(dir_.Files(), (Names{"ring.kyr", "ring.sth"}));
  }
  const std::string ring_ = dir_.Path("ring.kyr");
  Bytes oldRing_, oldStash_;
};

// A bigger ring under a new password, then a new stash, fail at every byte.
TEST_F(CrashSafetyTest, WritesCutAtEveryByteKeepTheOldRingAndStash) {
  ASSERT_EQ(KeyRingChangePassword(kPassword, "new password", 0), 0);
  ASSERT_EQ(KeyRingInsertEntry(SampleEntry("third", 3)), 0);
  long long k = 0;
  for (;; ++k) {
    SCOPED_TRACE(k);
    SetWriteFailureAfterForTesting(k);
    const int status = KeyRingWrite(ring_, std::nullopt);
    SetWriteFailureAfterForTesting(-1);
    if (status == 0) break;  // the budget now covers the whole new ring
    ASSERT_EQ(status, 7);
    ExpectOldFiles();
  }
  EXPECT_GT(k, static_cast<long long>(oldRing_.size())) << "the new ring is longer";
  ASSERT_EQ(KeyRingOpen(ring_, "new password"), 0);
  EXPECT_EQ(KeyRingEntryCount(), 3u);

  WriteFileBytes(ring_, oldRing_);
  for (k = 0; k < static_cast<long long>(kStashBlockSize); ++k) {
    SCOPED_TRACE(k);
    SetWriteFailureAfterForTesting(k);
    ASSERT_EQ(StashWrite(ring_, "new password"), 7);
    ExpectOldFiles();
  }
}

TEST_F(CrashSafetyTest, FailedSyncOrRenameKeepsTheOldFiles) {
  ASSERT_EQ(KeyRingDeleteEntry("first"), 0);
  for (ReplaceFault fault : {ReplaceFault::kSync, ReplaceFault::kRename}) {
    SCOPED_TRACE(static_cast<int>(fault));
    SetReplaceFaultForTesting(fault);
    EXPECT_EQ(KeyRingWrite(ring_, std::nullopt), 7);
    EXPECT_EQ(StashWrite(ring_, "another password"), 7);
    ExpectOldFiles();
  }
}

TEST_F(CrashSafetyTest, FilesAreOwnerOnlyWhateverTheUmask) {
  for (const std::string& path : {ring_, StashFileName(ring_), KeyRingFileLock::LockFileName(ring_)})
    std::filesystem::remove(path);
  const mode_t saved = ::umask(0);
  const int status = KeyRingWrite(ring_, kPassword) + StashWrite(ring_, kPassword);
  { KeyRingFileLock lock(ring_); }
  ::umask(saved);
  ASSERT_EQ(status, 0);
  for (const std::string& path : {ring_, StashFileName(ring_), KeyRingFileLock::LockFileName(ring_)}) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
  }
}

// Taking the lock removes the temporaries of the ring and its stash only.
TEST_F(CrashSafetyTest, TakingTheLockRemovesStaleTemporaries) {
  WriteFileBytes(dir_.Path("elsewhere"), {1});
  const struct { const char* name; bool removed; const char* why; } kTests[] = {
      {"ring.kyr.Ab3xY9", true, "a temporary of the ring"},
      {"ring.sth.000000", true, "a temporary of the stash"},
      {"ring.kyr.Ab3xY", false, "five characters: not a temporary name"},
      {"ring.kyr.Ab-xY9", false, "not a letter or digit"},
      {"other.kyr.Ab3xY9", false, "another ring's"},
      {"ring.kyr.Link00", false, "a symbolic link is neither followed nor removed"},
      {"ring.kyr.Dir000", false, "a directory"},
  };
  ASSERT_EQ(::symlink(dir_.Path("elsewhere").c_str(), dir_.Path("ring.kyr.Link00").c_str()), 0);
  ASSERT_EQ(::mkdir(dir_.Path("ring.kyr.Dir000").c_str(), 0700), 0);
  for (const auto& c : kTests)
    if (!std::filesystem::exists(dir_.Path(c.name))) WriteFileBytes(dir_.Path(c.name), {1, 2, 3});
  { KeyRingFileLock lock(ring_); }
  for (const auto& c : kTests) {
    struct stat st {};
    EXPECT_EQ(::lstat(dir_.Path(c.name).c_str(), &st) != 0, c.removed) << c.why;
  }
  EXPECT_EQ(ReadFileBytes(dir_.Path("elsewhere")), Bytes{1});
  EXPECT_EQ(std::pair(ReadFileBytes(ring_), ReadFileBytes(StashFileName(ring_))), std::pair(oldRing_, oldStash_));
}

// While one holds the lock nobody else gets it, not even a second holder in the same process.
TEST_F(CrashSafetyTest, TheRingLockExcludesOtherHolders) {
  auto tryLock = [&] {
    const int fd = ::open(KeyRingFileLock::LockFileName(ring_).c_str(), O_RDWR | O_CLOEXEC);
    const bool got = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) ::close(fd);
    return got;
  };
  {
    KeyRingFileLock lock(ring_);
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(tryLock());
  }
  EXPECT_TRUE(tryLock()) << "released with its holder";
  EXPECT_FALSE(KeyRingFileLock(dir_.Path("missing/ring.kyr")).Held()) << "no lock file, no lock; the caller goes on";
}

}  // namespace
}  // namespace kcertadm
