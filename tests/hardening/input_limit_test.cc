// Certificate and request input above kMaxCertificateFileSize is refused
// with the message for unreadable input, without being read whole.
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "commands/cert_files.h"
#include "run_command.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

TEST(InputLimit, InputUpToTheLimitIsReadAndLargerInputIsRefusedUnread) {
  test_support::TempDir dir;
  const std::string pem =
      test_support::ReadFileText(KCERTADM_SOURCE_DIR "/tests/data/cert/vector_ca.pem");
  ASSERT_FALSE(pem.empty());
  // A file of the given size: the certificate, then holes that read as zeros.
  auto sparse = [&](const char* name, const std::string& text, off_t size) {
    const std::string path = dir.Write(name, text);
    EXPECT_EQ(::truncate(path.c_str(), size), 0);
    return path;
  };
  const off_t limit = static_cast<off_t>(kMaxCertificateFileSize);
  const struct {
    const char* why;
    std::string input;
    std::uint32_t message;
  } kTests[] = {
      {"a certificate padded to the limit is read", sparse("at", pem + "\n", limit), 30054},
      // One byte more is refused by its size, before anything is read.
      {"one byte over the limit", sparse("over", pem + "\n", limit + 1), 30022},
      // Reading a terabyte would take long and not fit in memory.
      {"a terabyte", sparse("huge", pem, off_t{1} << 40), 30022},
      // An endless stream has no size to check; reading stops past the limit.
      {"an endless device", "/dev/zero", 30022},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(
        RunCommand("ViewCert", "CertReqFile=" + test.input + ";EntriesFile=" + dir / "view.txt"),
        test.message);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  }
  // Requests to sign come through the same reader.
  const std::string sign =
      "CertReqFile=/dev/zero;CertFile=" + dir / "out.pem" + ";KeyFile=" + dir / "none.kyr";
  EXPECT_EQ(RunCommand("SignCert", sign + ";Password=x"), 30022u);
}

}  // namespace
}  // namespace kcertadm
