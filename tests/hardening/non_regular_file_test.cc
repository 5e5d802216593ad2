// A FIFO or a device in any position of a file the tool reads: the key
// ring, its template, its stash (read and written), every input file, the
// roots bundle and the message catalogue. A FIFO without writer would block
// its reader, holding the ring's lock, and a device such as /dev/zero never
// ends. Each command runs as its own process with a time limit, so that a
// regression fails instead of hanging the suite.
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_files.h"
#include "tool_run.h"

namespace kcertadm {
namespace {

constexpr auto kTimeLimit = std::chrono::seconds(30);
constexpr int kTimedOut = -2;

// "@name" in an argument or a variable stands for dir/name.
std::string InDir(const std::string& dir, const std::string& text) {
  std::string out;
  for (char c : text) out += c == '@' ? dir + "/" : std::string(1, c);
  return out;
}

// Runs the tool in dir with extra variables; the message number it printed,
// 0 for none, or kTimedOut when it had to be killed.
int RunTool(const std::string& dir, const std::string& args, const char* variable = nullptr) {
  Args expanded;
  std::istringstream words(args);  // arguments are separated by blanks
  for (std::string arg; words >> arg;) expanded.push_back(InDir(dir, arg));
  // The variables given replace those of this process.
  std::vector<std::string> envStore{"KCERTADM_DATA_DIR=@data"};
  if (variable != nullptr) envStore.push_back(variable);
  for (std::string& v : envStore) v = InDir(dir, v);
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view inherited(*e);
    const auto named = [&](const std::string& v) {
      return inherited.substr(0, v.find('=') + 1) == v.substr(0, v.find('=') + 1);
    };
    if (std::none_of(envStore.begin(), envStore.end(), named)) envStore.emplace_back(inherited);
  }
  std::vector<char*> envp;
  for (std::string& v : envStore) envp.push_back(v.data());
  envp.push_back(nullptr);
  const std::string out = dir + "/tool.out";
  const pid_t pid = Start(expanded, out, envp.data());
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return kTimedOut;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  int message = 0;
  std::ifstream(out) >> message;
  return message;
}

enum class Kind { kFifo, kNullDevice, kZeroDevice };

// A FIFO or a character device at path. Devices are made in place where
// the caller may (so that nothing is ever written beside /dev), else they
// are symbolic links to /dev/null and /dev/zero.
void MakeSpecial(Kind kind, const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  if (kind == Kind::kFifo) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return;
  }
  const bool zero = kind == Kind::kZeroDevice;
  if (::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, zero ? 5 : 3)) == 0) return;
  ASSERT_EQ(::symlink(zero ? "/dev/zero" : "/dev/null", path.c_str()), 0);
}

// The special file is still what it was: not replaced, not removed.
bool StillSpecial(Kind kind, const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  return kind == Kind::kFifo ? S_ISFIFO(st.st_mode) : S_ISCHR(st.st_mode) || S_ISLNK(st.st_mode);
}

class NonRegularFileTest : public ::testing::Test {
 protected:
  // A ring with password "pw" and no stash, made once and copied into each
  // row's directory as good.kyr; and a certificate to receive or view.
  static void SetUpTestSuite() {
    ring_ = new test_support::TempDir;
    ASSERT_EQ(RunTool(ring_->path(),
                      "CreateKeyFile KeyFile=@good.kyr Password=pw KeyName=k CommonName=k "
                      "KeySize=512 NoStashFile"),
              30020);
  }
  static void TearDownTestSuite() {
    delete ring_;
    ring_ = nullptr;
  }
  static test_support::TempDir* ring_;
};
test_support::TempDir* NonRegularFileTest::ring_ = nullptr;

TEST_F(NonRegularFileTest, IsRefusedInEveryPositionWithoutWaiting) {
  const std::string certificate = KCERTADM_SOURCE_DIR "/tests/data/cert/vector_ca.pem";
  const std::string create =
      "CreateKeyFile KeyFile=@new.kyr Password=pw KeyName=k CommonName=k "
      "KeySize=512";
  const struct {
    const char* why;
    const char* special;  // where the FIFO or device is put
    std::string args;
    const char* variable;  // an extra environment variable, or none
    int message;
  } kTests[] = {
      // A pipe or a device is no key ring: "could not be read".
      {"key ring", "ring.kyr", "GetEntries KeyFile=@ring.kyr Password=pw EntriesFile=@e.txt",
       nullptr, 30010},
      // Something is there already, and it is not replaced by a new ring.
      {"key ring to create", "ring.kyr",
       "CreateKeyFile KeyFile=@ring.kyr Password=pw KeyName=k CommonName=k KeySize=512", nullptr,
       30072},
      // An unusable template is passed over, as a damaged one is.
      {"template key ring", "data/master.kyr", create + " NoStashFile", nullptr, 30020},
      // No stashed password, so the ring's password is missing.
      {"stash to read", "good.sth", "GetEntries KeyFile=@good.kyr UseStash EntriesFile=@e.txt",
       nullptr, 30009},
      // The stash would replace what is there: refused, and the new ring is not left behind.
      {"stash to write", "new.sth", create, nullptr, 30019},
      {"certificate to receive", "in.pem",
       "ReceiveCert KeyFile=@good.kyr Password=pw CertReqFile=@in.pem", nullptr, 30022},
      {"root to receive", "in.pem",
       "ReceiveRootCert KeyFile=@good.kyr Password=pw CertReqFile=@in.pem EntryLabel=r", nullptr,
       30022},
      {"request to sign", "in.pem",
       "SignCert KeyFile=@good.kyr Password=pw CertReqFile=@in.pem CertFile=@out.pem", nullptr,
       30022},
      {"certificate to view", "in.pem", "ViewCert CertReqFile=@in.pem EntriesFile=@e.txt", nullptr,
       30022},
      // Without template the new ring takes the roots bundle, which cannot be read.
      {"roots bundle", "roots.pem", create + " NoStashFile", "KCERTADM_ROOTS=@roots.pem", 30012},
      // The built-in texts stand in for a catalogue that cannot be read.
      {"message catalogue", "msg/kmsglib.msg",
       "ViewCert CertReqFile=" + certificate + " EntriesFile=@e.txt", "KCERTADM_MSG_DIR=@msg",
       30054},
  };
  const struct {
    Kind kind;
    const char* name;
  } kKinds[] = {{Kind::kFifo, "a FIFO"},
                {Kind::kNullDevice, "the null device"},
                {Kind::kZeroDevice, "the zero device"}};
  for (const auto& test : kTests) {
    for (const auto& kind : kKinds) {
      SCOPED_TRACE(std::string(kind.name) + " as " + test.why);
      test_support::TempDir dir;
      std::filesystem::copy_file(ring_->Path("good.kyr"), dir / "good.kyr");
      const std::vector<std::uint8_t> ringBefore = test_support::ReadFileBytes(dir / "good.kyr");
      MakeSpecial(kind.kind, dir / test.special);
      EXPECT_EQ(RunTool(dir.path(), test.args, test.variable), test.message);
      EXPECT_TRUE(StillSpecial(kind.kind, dir / test.special));
      EXPECT_EQ(test_support::ReadFileBytes(dir / "good.kyr"), ringBefore);
      EXPECT_EQ(std::filesystem::exists(dir / "new.kyr"), test.message == 30020);
    }
  }
}

}  // namespace
}  // namespace kcertadm
