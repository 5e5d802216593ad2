// Crash safety of key ring and stash files: writes that fail at any byte,
// at the sync or at the rename; the temporaries killed writers leave; the
// ring's lock; and the owner-only mode of every file whatever the umask.
// Killed and concurrent kcertadm processes are tested in tests/hardening.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "keyring/file_lock.h"
#include "keyring/file_replace.h"
#include "keyring/keyring.h"
#include "keyring/stash.h"
#include "keyring_test_util.h"

namespace kcertadm {
namespace {

using test::TempDir;

constexpr char kPassword[] = "old password";

// Labels of the in-memory key ring in list order.
std::vector<std::string> Labels() {
  std::vector<std::string> labels;
  KeyRingCursor cursor;
  for (std::size_t n = KeyRingEntryCount(); n > 0; --n) {
    auto entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    labels.push_back(entry->LabelText());
  }
  return labels;
}

class CrashSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyRingClear(); }
  void TearDown() override {
    SetWriteFailureAfterForTesting(-1);
    SetReplaceFaultForTesting(ReplaceFault::kNone);
    KeyRingClear();
  }
  // A password-protected ring of two entries on disk, with its stash.
  void WriteOldRing() {
    ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("first", 1)), 0);
    ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("second", 2)), 0);
    ASSERT_EQ(KeyRingWrite(ring_, kPassword), 0);
    ASSERT_EQ(StashWrite(ring_, kPassword), 0);
    oldRing_ = test::ReadFileBytes(ring_);
    oldStash_ = test::ReadFileBytes(StashFileName(ring_));
  }
  // The old ring opens with the old password and holds the old entries;
  // the stash still gives that password; no temporary file is left.
  void ExpectOldFiles() {
    EXPECT_EQ(test::ReadFileBytes(ring_), oldRing_);
    EXPECT_EQ(test::ReadFileBytes(StashFileName(ring_)), oldStash_);
    auto stashed = StashRead(ring_);
    ASSERT_TRUE(stashed);
    EXPECT_EQ(std::string(stashed->begin(), stashed->end()), kPassword);
    ASSERT_EQ(KeyRingOpen(ring_, kPassword), 0);
    EXPECT_EQ(Labels(), (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"ring.kyr", "ring.sth"}));
  }
  TempDir dir_;
  std::string ring_ = dir_.Path("ring.kyr");
  Bytes oldRing_, oldStash_;
};

// Replacing the ring by a bigger one under a new password fails at every
// byte of the new file, and so does replacing the stash: the old files
// always stay whole, and nothing else is left in the directory.
TEST_F(CrashSafetyTest, WritesCutAtEveryByteKeepTheOldRingAndStash) {
  WriteOldRing();
  ASSERT_EQ(KeyRingChangePassword(kPassword, "new password", 0), 0);
  ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("third", 3)), 0);
  long long k = 0;
  for (;; ++k) {
    SCOPED_TRACE(k);
    SetWriteFailureAfterForTesting(k);
    const int status = KeyRingWrite(ring_, std::nullopt);
    SetWriteFailureAfterForTesting(-1);
    if (status == 0) break;  // the budget now covers the whole new ring
    ASSERT_EQ(status, 7);
    ASSERT_EQ(test::ReadFileBytes(ring_), oldRing_);
    ASSERT_EQ(dir_.Files(), (std::vector<std::string>{"ring.kyr", "ring.sth"}));
    ASSERT_LT(k, 100000);
  }
  EXPECT_GT(k, static_cast<long long>(oldRing_.size())) << "the new ring is longer";
  ASSERT_EQ(KeyRingOpen(ring_, "new password"), 0);
  EXPECT_EQ(Labels(), (std::vector<std::string>{"third", "second", "first"}));

  test::WriteFileBytes(ring_, oldRing_);
  for (k = 0; k < static_cast<long long>(kStashBlockSize); ++k) {
    SCOPED_TRACE(k);
    SetWriteFailureAfterForTesting(k);
    const int status = StashWrite(ring_, "new password");
    SetWriteFailureAfterForTesting(-1);
    ASSERT_EQ(status, 7);
    ExpectOldFiles();
  }
}

TEST_F(CrashSafetyTest, FailedSyncOrRenameKeepsTheOldFiles) {
  const struct {
    const char* name;
    ReplaceFault fault;
  } kFaults[] = {{"sync", ReplaceFault::kSync}, {"rename", ReplaceFault::kRename}};
  WriteOldRing();
  for (const auto& fault : kFaults) {
    SCOPED_TRACE(fault.name);
    ASSERT_EQ(KeyRingOpen(ring_, kPassword), 0);
    ASSERT_EQ(KeyRingDeleteEntry("first"), 0);
    SetReplaceFaultForTesting(fault.fault);
    EXPECT_EQ(KeyRingWrite(ring_, std::nullopt), 7);
    EXPECT_EQ(StashWrite(ring_, "another password"), 7);
    SetReplaceFaultForTesting(ReplaceFault::kNone);
    ExpectOldFiles();
  }
}

// Key ring, stash and lock files are owner-only even under umask 0.
TEST_F(CrashSafetyTest, FilesAreOwnerOnlyWhateverTheUmask) {
  const mode_t saved = ::umask(0);
  ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("first", 1)), 0);
  const int ringStatus = KeyRingWrite(ring_, kPassword);
  const int stashStatus = StashWrite(ring_, kPassword);
  { KeyRingFileLock lock(ring_); }
  ::umask(saved);
  ASSERT_EQ(ringStatus, 0);
  ASSERT_EQ(stashStatus, 0);
  for (const std::string& path : {ring_, StashFileName(ring_), KeyRingFileLock::LockFileName(ring_)}) {
    SCOPED_TRACE(path);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

// Taking the lock removes what killed writers left beside the ring: the
// temporaries of the ring and of its stash, and nothing else.
TEST_F(CrashSafetyTest, TakingTheLockRemovesStaleTemporaries) {
  WriteOldRing();
  test::WriteFileBytes(dir_.Path("elsewhere"), {1});
  const struct {
    const char* name;
    bool removed;
    const char* why;
  } kTests[] = {
      {"ring.kyr.Ab3xY9", true, "a temporary of the ring"},
      {"ring.sth.000000", true, "a temporary of the stash"},
      {"ring.kyr.Ab3xY", false, "five characters: not a temporary name"},
      {"ring.kyr.Ab3xY9z", false, "seven characters"},
      {"ring.kyr.Ab-xY9", false, "not a letter or digit"},
      {"ring.kyrXAb3xY9", false, "no dot"},
      {"other.kyr.Ab3xY9", false, "another ring's"},
      {"ring.kyr.Link00", false, "a symbolic link is neither followed nor removed"},
      {"ring.kyr.Dir000", false, "a directory"},
  };
  for (const auto& test : kTests) {
    const std::string path = dir_.Path(test.name);
    if (std::string(test.name).ends_with("Link00")) {
      ASSERT_EQ(::symlink(dir_.Path("elsewhere").c_str(), path.c_str()), 0);
    } else if (std::string(test.name).ends_with("Dir000")) {
      ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    } else {
      test::WriteFileBytes(path, {1, 2, 3});
    }
  }
  { KeyRingFileLock lock(ring_); }
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    struct stat st {};
    EXPECT_EQ(::lstat(dir_.Path(test.name).c_str(), &st) != 0, test.removed);
  }
  EXPECT_EQ(test::ReadFileBytes(dir_.Path("elsewhere")), Bytes{1});
  EXPECT_EQ(test::ReadFileBytes(ring_), oldRing_);
  EXPECT_EQ(test::ReadFileBytes(StashFileName(ring_)), oldStash_);
}

// While one holder has the lock, nobody else gets it, not even a second
// holder in the same process (each holder has its own open file).
TEST_F(CrashSafetyTest, TheRingLockExcludesOtherHolders) {
  auto tryLock = [&] {
    const int fd = ::open(KeyRingFileLock::LockFileName(ring_).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool got = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return got;
  };
  {
    KeyRingFileLock lock(ring_);
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(tryLock());
  }
  EXPECT_TRUE(tryLock()) << "released with its holder";
  KeyRingFileLock elsewhere(dir_.Path("missing/ring.kyr"));
  EXPECT_FALSE(elsewhere.Held()) << "no lock file, no lock; the caller goes on";
}

}  // namespace
}  // namespace kcertadm
