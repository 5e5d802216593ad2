// Certificate and request input is refused above kMaxCertificateFileSize
// with the message for unreadable input, without being read whole.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "commands/cert_files.h"
#include "support/test_files.h"
#include "host_interface/command_entry.h"
#include "host_interface/message_reporter.h"

namespace kcertadm {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A file of the given size: text, then holes that read as zeros.
std::string SparseFile(const testing::TempDir& dir, const std::string& name, const std::string& text,
                       off_t size) {
  const std::string path = dir.Write(name, text);
  EXPECT_EQ(::truncate(path.c_str(), size), 0);
  return path;
}

std::uint32_t RunCommand(const char* command, const std::string& parameters) {
  std::string writable = parameters;
  char message[512] = "";
  MessageReporter reporter(message, sizeof message);
  ProcessCommand(command, writable.data(), reporter);
  return reporter.last();
}

TEST(InputLimit, InputUpToTheLimitIsReadAndLargerInputIsRefusedUnread) {
  testing::TempDir dir;
  const std::string pem = ReadText(KCERTADM_SOURCE_DIR "/tests/data/cert/vector_ca.pem");
  ASSERT_FALSE(pem.empty());
  const off_t limit = static_cast<off_t>(kMaxCertificateFileSize);
  const struct {
    const char* why;
    std::string input;
    std::uint32_t message;
  } kTests[] = {
      {"a certificate padded to the limit is read", SparseFile(dir, "at", pem + "\n", limit), 30054},
      // One byte more is refused by its size, before anything is read.
      {"one byte over the limit", SparseFile(dir, "over", pem + "\n", limit + 1), 30022},
      // Reading a terabyte would take long and not fit in memory.
      {"a terabyte", SparseFile(dir, "huge", pem, off_t{1} << 40), 30022},
      // An endless stream has no size to check; reading stops past the limit.
      {"an endless device", "/dev/zero", 30022},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCommand("ViewCert", "CertReqFile=" + test.input + ";EntriesFile=" + dir.path() + "/view.txt"),
              test.message);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  }
  // Requests to sign come through the same reader.
  EXPECT_EQ(RunCommand("SignCert", "CertReqFile=/dev/zero;CertFile=" + dir.path() + "/out.pem;KeyFile=" +
                                       dir.path() + "/none.kyr;Password=x"),
            30022u);
}

}  // namespace
}  // namespace kcertadm
