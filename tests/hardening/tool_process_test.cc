// The kcertadm tool as separate processes on one key ring: killed at
// random moments while it rewrites the ring, several receiving
// certificates at once, and several creating the same ring at once.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_files.h"
#include "keyring/keyring.h"

extern char** environ;

namespace kcertadm {
namespace {

constexpr char kPassword[] = "ring password";
using Clock = std::chrono::steady_clock;

// Starts the tool with args, its standard output going to outPath.
pid_t Start(const std::vector<std::string>& args, const std::string& outPath = "/dev/null") {
  std::vector<char*> argv{const_cast<char*>(KCERTADM_TOOL)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, KCERTADM_TOOL, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status, or 128 + the signal that ended the process.
int Wait(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The message number the tool printed into outPath.
int MessageIn(const std::string& outPath) {
  std::ifstream in(outPath);
  int number = 0;
  in >> number;
  return number;
}

int RunTool(const std::vector<std::string>& args, const std::string& outPath) {
  return Wait(Start(args, outPath));
}

// The labels of the ring, opened with kPassword; empty when it does not
// open.
std::set<std::string> Labels(const std::string& ring) {
  std::set<std::string> labels;
  if (KeyRingOpen(ring, kPassword) != kKeyRingOk) return labels;
  KeyRingCursor cursor;
  for (std::size_t n = KeyRingEntryCount(); n > 0; --n) {
    auto entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    labels.insert(entry->LabelText());
    KeyRingEntryFree(entry);
  }
  return labels;
}

std::vector<std::string> TemporariesOf(const std::string& ring) {
  const std::filesystem::path path(ring);
  std::vector<std::string> found;
  for (const auto& file : std::filesystem::directory_iterator(path.parent_path())) {
    const std::string name = file.path().filename();
    const std::string base = path.filename().string() + ".";
    if (name.size() == base.size() + 6 && name.starts_with(base)) found.push_back(name);
  }
  return found;
}

class ToolProcessTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { delete certificates_; }
  void SetUp() override { ::setenv("KCERTADM_DATA_DIR", dir_.path().c_str(), 1); }
  void TearDown() override { KeyRingClear(); }

  // Self-signed certificates of their own keys, made by openssl when first
  // wanted.
  static std::string Certificate(int i) {
    if (certificates_ == nullptr) {
      certificates_ = new testing::TempDir;
      const std::string script =
          "cd '" + certificates_->path() +
          "' && for i in $(seq 0 100); do openssl req -x509 -newkey rsa:512 -nodes -keyout /dev/null"
          " -subj /CN=cert$i -days 30 -sha1 -out cert$i.pem 2>/dev/null || exit 1; done";
      EXPECT_EQ(std::system(script.c_str()), 0) << "openssl could not make the certificates";
    }
    return certificates_->path() + "/cert" + std::to_string(i) + ".pem";
  }
  std::vector<std::string> Receive(int i, const std::string& label) const {
    return {"ReceiveCert", "KeyFile=" + ring_, "Password=" + std::string(kPassword),
            "CertReqFile=" + Certificate(i), "EntryLabel=" + label, "NoTrust"};
  }
  std::vector<std::string> Create(const std::string& label) const {
    return {"CreateKeyFile", "KeyFile=" + ring_, "Password=" + std::string(kPassword),
            "KeyName=" + label, "CommonName=" + label, "KeySize=512"};
  }
  std::string Out(const std::string& name) const { return dir_.path() + "/" + name + ".out"; }

  static testing::TempDir* certificates_;
  testing::TempDir dir_;
  std::string ring_ = dir_.path() + "/ring.kyr";
};

testing::TempDir* ToolProcessTest::certificates_ = nullptr;

// The tool adds or deletes the entry "extra" of a ring of 21 entries and is
// killed after a random delay spread over the time one such command takes.
// After every kill the ring opens with the entries before or after the
// command, never anything else; the temporaries killed writers leave are
// gone once a later command has held the ring's lock.
TEST_F(ToolProcessTest, RingKilledWhileRewrittenHoldsTheOldOrTheNewEntries) {
  ASSERT_EQ(RunTool(Create("server"), Out("create")), 0);
  std::set<std::string> before = {"server"};
  for (int i = 1; i <= 20; ++i) {
    ASSERT_EQ(RunTool(Receive(i, "base" + std::to_string(i)), Out("receive")), 0);
    before.insert("base" + std::to_string(i));
  }
  std::set<std::string> after = before;
  after.insert("extra");
  auto toggle = [&](bool hasExtra) {
    return hasExtra ? std::vector<std::string>{"DeleteEntry", "KeyFile=" + ring_,
                                               "Password=" + std::string(kPassword), "EntryLabel=extra"}
                    : Receive(0, "extra");
  };
  bool hasExtra = false;
  const auto started = Clock::now();
  for (int i = 0; i < 4; ++i, hasExtra = !hasExtra) ASSERT_EQ(RunTool(toggle(hasExtra), Out("toggle")), 0);
  const auto oneCommand = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started) / 4;

  std::mt19937 random(20261206);
  std::uniform_int_distribution<long> delay(0, oneCommand.count());
  int interrupted = 0, finished = 0, kept = 0, replaced = 0;
  std::size_t mostTemporaries = 0;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    const pid_t pid = Start(toggle(hasExtra));
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    const int status = Wait(pid);
    ASSERT_TRUE(status == 0 || status == 128 + SIGKILL) << "the tool failed by itself: " << status;
    (status == 0 ? finished : interrupted)++;
    const std::set<std::string> labels = Labels(ring_);
    const bool isNew = labels == (hasExtra ? before : after);
    ASSERT_TRUE(isNew || labels == (hasExtra ? after : before)) << labels.size() << " entries";
    (isNew ? replaced : kept)++;
    if (isNew) hasExtra = !hasExtra;
    mostTemporaries = std::max(mostTemporaries, TemporariesOf(ring_).size());
  }
  std::printf("one command %ld us; %d killed, %d finished; %d rings old, %d new; "
              "at most %zu temporaries left\n",
              static_cast<long>(oneCommand.count()), interrupted, finished, kept, replaced, mostTemporaries);
  EXPECT_GT(interrupted, 0);
  EXPECT_GT(kept, 0);
  EXPECT_GT(replaced, 0);
  ASSERT_EQ(RunTool(toggle(hasExtra), Out("last")), 0);
  EXPECT_EQ(TemporariesOf(ring_), std::vector<std::string>{});
}

// Writers each receive their share of 100 certificates under their own
// labels into one ring, all at once: every entry is there afterwards.
TEST_F(ToolProcessTest, ConcurrentWritersLoseNoEntry) {
  Certificate(0);  // made here, before the writers start
  for (const int writers : {2, 4}) {
    SCOPED_TRACE(std::to_string(writers) + " writers");
    std::filesystem::remove(ring_);
    ASSERT_EQ(RunTool(Create("server"), Out("create")), 0);
    const int each = 100 / writers;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        int failed = 0;
        for (int i = 0; i < each; ++i) {
          const int number = 1 + w * each + i;
          const std::string out = Out("writer" + std::to_string(w));
          if (RunTool(Receive(number, "cert" + std::to_string(number)), out) != 0) ++failed;
        }
        ::_exit(failed == 0 ? 0 : 1);
      }
      children.push_back(child);
    }
    for (const pid_t child : children) EXPECT_EQ(Wait(child), 0) << "a command of a writer failed";
    const std::set<std::string> labels = Labels(ring_);
    EXPECT_EQ(labels.size(), 101u);
    for (int number = 1; number <= 100; ++number) {
      EXPECT_TRUE(labels.count("cert" + std::to_string(number))) << number;
    }
  }
}

// Four processes create one ring at once: one creates it, the others find
// it there; the ring is wholly the creator's.
TEST_F(ToolProcessTest, ConcurrentCreationsMakeOneRing) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::filesystem::remove(ring_);
    std::vector<pid_t> pids;
    for (int p = 0; p < 4; ++p) pids.push_back(Start(Create("key" + std::to_string(p)), Out(std::to_string(p))));
    std::vector<std::string> creators;
    for (int p = 0; p < 4; ++p) {
      const int status = Wait(pids[p]);
      const int message = MessageIn(Out(std::to_string(p)));
      if (status == 0) {
        EXPECT_EQ(message, 30020);
        creators.push_back("key" + std::to_string(p));
      } else {
        EXPECT_EQ(message, 30072) << "the key file exists";
      }
    }
    ASSERT_EQ(creators.size(), 1u);
    EXPECT_EQ(Labels(ring_), std::set<std::string>{creators[0]});
  }
}

}  // namespace
}  // namespace kcertadm
