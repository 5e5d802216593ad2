// Crash safety and concurrent writers of key ring and stash files: writes
// that fail at any byte, at the sync or at the rename; processes killed
// while rewriting a ring; two processes changing one ring at once; and the
// owner-only mode of every file whatever the umask.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
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

// A certificate of its own key for entry number i.
Bytes CertificateNumber(int i) {
  Bytes modulus = test::FromHex("00c1d2e3f405060708090a0b0c0d0e0f");
  modulus.push_back(static_cast<std::uint8_t>(i >> 8));
  modulus.push_back(static_cast<std::uint8_t>(i));
  return test::FakeCertificate("Entry " + std::to_string(i), modulus, {0x01, 0x00, 0x01});
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

// A process rewriting a ring over and over is killed at random moments: the
// ring always opens, with one of the contents a complete write left.
TEST_F(CrashSafetyTest, RingSurvivesSigkillDuringRewrites) {
  for (int i = 0; i < 8; ++i) ASSERT_EQ(KeyRingInsertEntry(test::SampleEntry("base" + std::to_string(i), i)), 0);
  ASSERT_EQ(KeyRingWrite(ring_, kPassword), 0);
  // The children inherit a seeded random generator, so they start writing
  // at once.
  ASSERT_EQ(KeyRingOpen(ring_, kPassword), 0);
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delayMicros(0, 4000);
  std::set<std::size_t> counts;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Alternates between 8 and 9 entries, writing each time.
      for (int n = 0;; ++n) {
        if (KeyRingOpen(ring_, kPassword) != 0) ::_exit(2);
        if (KeyRingFindEntry("extra")) {
          KeyRingDeleteEntry("extra");
        } else {
          KeyRingInsertEntry(test::SampleEntry("extra", 99));
        }
        if (KeyRingWrite(ring_, std::nullopt) != 0) ::_exit(3);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the rewriting process failed by itself: " << status;
    ASSERT_EQ(KeyRingOpen(ring_, kPassword), 0);
    const std::size_t count = KeyRingEntryCount();
    ASSERT_TRUE(count == 8 || count == 9) << count;
    counts.insert(count);
  }
  // Temporary files of killed writers may stay behind; the ring is whole.
  EXPECT_FALSE(counts.empty());
}

// Two processes each add 50 certificates under their own labels to one
// ring, each change holding the ring's lock from opening to writing: all
// 100 entries are there afterwards.
TEST_F(CrashSafetyTest, TwoProcessesAddingEntriesLoseNothing) {
  ASSERT_EQ(KeyRingWrite(ring_, kPassword), 0);
  constexpr int kPerProcess = 50;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0; i < kPerProcess; ++i) {
        const int number = p * kPerProcess + i;
        KeyRingFileLock lock(ring_);
        if (!lock.Held()) ::_exit(2);
        if (KeyRingOpen(ring_, kPassword) != 0) ::_exit(3);
        if (KeyRingAddCertificate(CertificateNumber(number), "cert" + std::to_string(number), nullptr) != 0) {
          ::_exit(4);
        }
        if (KeyRingWrite(ring_, std::nullopt) != 0) ::_exit(5);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  ASSERT_EQ(KeyRingOpen(ring_, kPassword), 0);
  std::vector<std::string> labels = Labels();
  std::set<std::string> unique(labels.begin(), labels.end());
  EXPECT_EQ(labels.size(), 2u * kPerProcess);
  for (int number = 0; number < 2 * kPerProcess; ++number) {
    EXPECT_TRUE(unique.count("cert" + std::to_string(number))) << number;
  }
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
