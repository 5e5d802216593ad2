// The kcertadm tool as separate processes on one key ring: killed at
// random moments while it rewrites the ring, several receiving
// certificates at once, and several creating the same ring at once.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "keyring/keyring.h"
#include "support/status_numbers.h"
#include "support/test_files.h"
#include "tool_run.h"

namespace kcertadm {
namespace {

constexpr char kPassword[] = "ring password";

// The labels of the ring opened with kPassword; none when it does not open.
std::set<std::string> Labels(const std::string& ring) {
  std::set<std::string> labels;
  KeyRingCursor cursor;
  if (KeyRingOpen(ring, kPassword) != kKeyRingOk) return labels;
  do {
    if (auto entry = KeyRingNextEntry(cursor)) labels.insert(entry->LabelText());
  } while (!cursor.AtEnd());
  return labels;
}

// Self-signed certificates of their own keys, made by openssl when first wanted.
std::string Certificate(int i) {
  static const test_support::TempDir dir;
  static const int made =
      std::system(("cd '" + dir.path() +
                   "' && for i in $(seq 0 100); do openssl req -x509 -newkey rsa:512 -nodes "
                   "-keyout /dev/null -subj /CN=cert$i -days 30 -sha1 -out cert$i.pem "
                   "2>/dev/null || exit 1; done")
                      .c_str());
  EXPECT_EQ(made, 0) << "openssl could not make the certificates";
  return dir.Path("cert" + std::to_string(i) + ".pem");
}

class ToolProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("KCERTADM_DATA_DIR", dir_.path().c_str(), 1); }
  void TearDown() override { KeyRingClear(); }

  Args Command(const char* name, std::initializer_list<std::string> more) const {
    Args args{name, "KeyFile=" + ring_, "Password=" + std::string(kPassword)};
    args.insert(args.end(), more);
    return args;
  }
  Args Receive(int i, const std::string& label) const {
    return Command("ReceiveCert",
                   {"CertReqFile=" + Certificate(i), "EntryLabel=" + label, "NoTrust"});
  }
  Args Create(const std::string& label) const {
    return Command("CreateKeyFile", {"KeyName=" + label, "CommonName=" + label, "KeySize=512"});
  }
  int Run(const Args& args) const { return Wait(Start(args, dir_ / "run.out")); }

  test_support::TempDir dir_;
  std::string ring_ = dir_ / "ring.kyr";
};

// The tool adds or deletes the entry "extra" of a ring of 21 entries and is
// killed after a random delay up to the time one such command takes. After
// every kill the ring holds the entries before or after the command; the
// temporaries of killed writers go once a later command holds the lock.
TEST_F(ToolProcessTest, RingKilledWhileRewrittenHoldsTheOldOrTheNewEntries) {
  ASSERT_EQ(Run(Create("server")), 0);
  std::set<std::string> before = {"server"};
  for (int i = 1; i <= 20; ++i) {
    ASSERT_EQ(Run(Receive(i, "base" + std::to_string(i))), 0);
    before.insert("base" + std::to_string(i));
  }
  std::set<std::string> after = before;
  after.insert("extra");
  auto toggle = [&](bool hasExtra) {
    return hasExtra ? Command("DeleteEntry", {"EntryLabel=extra"}) : Receive(0, "extra");
  };
  bool hasExtra = false;
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < 4; ++i, hasExtra = !hasExtra) ASSERT_EQ(Run(toggle(hasExtra)), 0);
  const auto oneCommand = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - started) /
                          4;

  const std::size_t files = dir_.Files().size();
  std::mt19937 random(20261206);
  std::uniform_int_distribution<long> delay(0, oneCommand.count());
  int interrupted = 0, kept = 0, replaced = 0;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    const pid_t pid = Start(toggle(hasExtra));
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    const int status = Wait(pid);
    ASSERT_TRUE(status == 0 || status == 128 + SIGKILL) << "the tool failed by itself: " << status;
    interrupted += status != 0;
    const std::set<std::string> labels = Labels(ring_);
    const bool isNew = labels == (hasExtra ? before : after);
    ASSERT_TRUE(isNew || labels == (hasExtra ? after : before)) << labels.size() << " entries";
    (isNew ? replaced : kept)++;
    hasExtra ^= isNew;
  }
  EXPECT_GT(interrupted, 0) << "one command takes " << oneCommand.count() << " us";
  EXPECT_GT(kept, 0);
  EXPECT_GT(replaced, 0);
  ASSERT_EQ(Run(toggle(hasExtra)), 0);
  EXPECT_EQ(dir_.Files().size(), files) << "temporaries of killed writers remain";
}

// Writers each receive their share of 100 certificates under their own
// labels into one ring, all at once: every entry is there afterwards.
TEST_F(ToolProcessTest, ConcurrentWritersLoseNoEntry) {
  Certificate(0);  // made here, before the writers start
  for (const int writers : {2, 4}) {
    SCOPED_TRACE(std::to_string(writers) + " writers");
    std::filesystem::remove(ring_);
    ASSERT_EQ(Run(Create("server")), 0);
    const int each = 100 / writers;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        int failed = 0;
        for (int number = 1 + w * each; number <= (w + 1) * each; ++number) {
          failed += Wait(Start(Receive(number, "cert" + std::to_string(number)))) != 0;
        }
        ::_exit(failed == 0 ? 0 : 1);
      }
      children.push_back(child);
    }
    for (const pid_t child : children) EXPECT_EQ(Wait(child), 0) << "a command of a writer failed";
    std::set<std::string> expected = {"server"};
    for (int number = 1; number <= 100; ++number) expected.insert("cert" + std::to_string(number));
    EXPECT_EQ(Labels(ring_), expected);
  }
}

// Four processes create one ring at once: one creates it, the others find it there; the ring is
// wholly the creator's.
TEST_F(ToolProcessTest, ConcurrentCreationsMakeOneRing) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::filesystem::remove(ring_);
    std::vector<pid_t> pids;
    for (int p = 0; p < 4; ++p)
      pids.push_back(Start(Create("key" + std::to_string(p)), dir_ / std::to_string(p)));
    std::vector<std::string> creators;
    for (int p = 0; p < 4; ++p) {
      const bool created = Wait(pids[p]) == 0;
      int message = 0;
      std::ifstream(dir_ / std::to_string(p)) >> message;
      EXPECT_EQ(message, created ? 30020 : 30072) << "the others find the key file exists";
      if (created) creators.push_back("key" + std::to_string(p));
    }
    ASSERT_EQ(creators.size(), 1u);
    EXPECT_EQ(Labels(ring_), std::set<std::string>{creators[0]});
  }
}

}  // namespace
}  // namespace kcertadm
