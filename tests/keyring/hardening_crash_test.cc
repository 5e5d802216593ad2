// Crash safety of key ring and stash files (killed processes: tests/hardening).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "keyring/file_lock.h"
#include "keyring/file_replace.h"
#include "keyring/keyring_test_util.h"
#include "keyring/stash.h"

namespace kcertadm {
namespace {

using namespace test;

constexpr char kPassword[] = "old password";
using Names = std::vector<std::string>;

// Whether another holder could take the lock at lockFile now, creating the
// file as a holder would.
bool TryLock(const std::string& lockFile) {
  const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  const bool got = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (fd >= 0) ::close(fd);
  return got;
}

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
    EXPECT_EQ(std::pair(ReadFileBytes(ring_), ReadFileBytes(StashFileName(ring_))),
              std::pair(oldRing_, oldStash_));
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
    const KeyRingStatus status = KeyRingWrite(ring_, std::nullopt);
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
  for (const std::string& path :
       {ring_, StashFileName(ring_), KeyRingFileLock::LockFileName(ring_)})
    std::filesystem::remove(path);
  const mode_t saved = ::umask(0);
  const int status =
      KeyRingStatusNumber(KeyRingWrite(ring_, kPassword)) + StashWrite(ring_, kPassword);
  { KeyRingFileLock lock(ring_); }
  ::umask(saved);
  ASSERT_EQ(status, 0);
  for (const std::string& path :
       {ring_, StashFileName(ring_), KeyRingFileLock::LockFileName(ring_)}) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
  }
}

// An owner and group the test may give a file: as root another user's,
// otherwise one of the caller's other groups; none when there is no such.
std::optional<std::pair<uid_t, gid_t>> AnotherOwnerAndGroup() {
  if (::geteuid() == 0) return std::pair<uid_t, gid_t>(1, 1);
  gid_t groups[64];
  const int n = ::getgroups(64, groups);
  for (int i = 0; i < n; ++i)
    if (groups[i] != ::getegid()) return std::pair(::geteuid(), groups[i]);
  return std::nullopt;
}

// Operators open a ring to a server through its group; a save keeps that.
TEST_F(CrashSafetyTest, ReplacementsKeepModeGroupAndOwner) {
  const auto owner = AnotherOwnerAndGroup();
  for (const std::string& path : {ring_, StashFileName(ring_)}) {
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    if (owner) {
      ASSERT_EQ(::chown(path.c_str(), owner->first, owner->second), 0);
    }
  }
  ASSERT_EQ(KeyRingDeleteEntry("first"), 0);
  ASSERT_EQ(KeyRingWrite(ring_, std::nullopt), 0);
  ASSERT_EQ(StashWrite(ring_, "another password"), 0);
  for (const std::string& path : {ring_, StashFileName(ring_)}) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << path;
    if (owner) {
      EXPECT_EQ(std::pair(st.st_uid, st.st_gid), *owner) << path;
    }
  }
  EXPECT_NE(ReadFileBytes(ring_), oldRing_) << "replaced, not left alone";
  if (!owner) GTEST_SKIP() << "no other group to keep";
}

// Taking the lock removes the temporaries of the ring and its stash only:
// a user's look-alike files stay, whatever their suffix.
TEST_F(CrashSafetyTest, TakingTheLockRemovesStaleTemporaries) {
  WriteFileBytes(dir_.Path("elsewhere"), {1});
  const struct {
    const char* name;
    bool removed;
    const char* why;
  } kTests[] = {
      {".ring.kyr.kctmp-Ab3xY9", true, "a temporary of the ring"},
      {".ring.sth.kctmp-000000", true, "a temporary of the stash"},
      {"ring.kyr.backup", false, "a user's backup: six letters are not a temporary"},
      {"ring.kyr.201612", false, "a user's dated copy"},
      {"ring.sth.backup", false, "a user's copy of the stash"},
      {"ring.kyr.Ab3xY9", false, "no leading dot and marker"},
      {".ring.kyr.kctmp-Ab3xY", false, "five characters"},
      {".ring.kyr.kctmp-Ab3xY90", false, "seven characters"},
      {".ring.kyr.kctmp-Ab-xY9", false, "not a letter or digit"},
      {".ring.kyr.tmp-Ab3xY9", false, "another marker"},
      {"..ring.kyr.kctmp-Ab3xY9", false, "another file's temporary"},
      {".other.kyr.kctmp-Ab3xY9", false, "another ring's"},
      {".ring.kyr.kctmp-Link00", false, "a symbolic link is neither followed nor removed"},
      {".ring.kyr.kctmp-Dir000", false, "a directory"},
  };
  ASSERT_EQ(::symlink(dir_.Path("elsewhere").c_str(), dir_.Path(".ring.kyr.kctmp-Link00").c_str()),
            0);
  ASSERT_EQ(::mkdir(dir_.Path(".ring.kyr.kctmp-Dir000").c_str(), 0700), 0);
  for (const auto& c : kTests)
    if (!std::filesystem::exists(dir_.Path(c.name))) WriteFileBytes(dir_.Path(c.name), {1, 2, 3});
  { KeyRingFileLock lock(ring_); }
  for (const auto& c : kTests) {
    struct stat st {};
    EXPECT_EQ(::lstat(dir_.Path(c.name).c_str(), &st) != 0, c.removed) << c.name << ": " << c.why;
  }
  EXPECT_EQ(ReadFileBytes(dir_.Path("elsewhere")), Bytes{1});
  EXPECT_EQ(std::pair(ReadFileBytes(ring_), ReadFileBytes(StashFileName(ring_))),
            std::pair(oldRing_, oldStash_));
}

// A ring and stash reached through links have their temporaries where they
// lie; those are the ones removed.
TEST_F(CrashSafetyTest, TemporariesOfLinkedFilesAreRemovedWhereTheyLie) {
  const TempDir away;
  std::filesystem::rename(ring_, away.Path("real.kyr"));
  std::filesystem::rename(StashFileName(ring_), away.Path("real.sth"));
  ASSERT_EQ(::symlink(away.Path("real.kyr").c_str(), ring_.c_str()), 0);
  ASSERT_EQ(::symlink(away.Path("real.sth").c_str(), StashFileName(ring_).c_str()), 0);
  for (const char* name : {".real.kyr.kctmp-aaaaaa", ".real.sth.kctmp-bbbbbb"})
    WriteFileBytes(away.Path(name), {1});
  { KeyRingFileLock lock(ring_); }
  EXPECT_EQ(away.Files().size(), 3u) << "the ring, its stash and the lock file";
}

// A lock taken for a ring that is not there leaves no lock file; whoever
// waited on the removed file locks a new one, never a second holder
// beside a first.
TEST_F(CrashSafetyTest, LockOfAMissingRingLeavesNoFileAndExcludesOtherThreads) {
  const std::string missing = dir_.Path("new.kyr");
  const std::string lockFile = KeyRingFileLock::LockFileName(missing);
  std::optional<KeyRingFileLock> first(std::in_place, missing);
  ASSERT_TRUE(first->Held());
  std::atomic<bool> secondHeld{false};
  std::atomic<bool> release{false};
  std::thread waiter([&] {
    KeyRingFileLock second(missing);
    secondHeld = second.Held();
    while (!release) std::this_thread::yield();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(secondHeld) << "the first holder excludes the second";
  first.reset();
  while (!secondHeld) std::this_thread::yield();
  EXPECT_FALSE(KeyRingFileLock::RingExists(missing));
  EXPECT_FALSE(TryLock(lockFile)) << "the second holds the lock file now named";
  release = true;
  waiter.join();
  EXPECT_FALSE(std::filesystem::exists(lockFile));
}

// While one holds the lock nobody else gets it, not even a second holder in the same process.
TEST_F(CrashSafetyTest, TheRingLockExcludesOtherHolders) {
  const std::string lockFile = KeyRingFileLock::LockFileName(ring_);
  {
    KeyRingFileLock lock(ring_);
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(TryLock(lockFile));
  }
  EXPECT_TRUE(TryLock(lockFile)) << "released with its holder";
  EXPECT_FALSE(KeyRingFileLock(dir_.Path("missing/ring.kyr")).Held())
      << "no lock file, no lock; the caller goes on";
}

}  // namespace
}  // namespace kcertadm
