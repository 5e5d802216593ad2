#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cert/certificate.h"
#include "commands/report.h"
#include "commands/report_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using testing::ReadBytes;
using testing::ReadText;
using testing::ReportCapture;
using testing::ReportDataPath;

// A record that owns a malloc copy of bytes, as a file reader leaves it.
class OwnedCert {
 public:
  explicit OwnedCert(const std::vector<std::uint8_t>& bytes) {
    auto* block = static_cast<std::uint8_t*>(std::malloc(bytes.size() + 1));
    std::memcpy(block, bytes.data(), bytes.size());
    InitCertData(&cert_, block, static_cast<std::int32_t>(bytes.size()));
  }
  ~OwnedCert() { FreeCertData(&cert_); }
  CertData* get() { return &cert_; }

 private:
  CertData cert_{};
};

struct ReportResult {
  int status;
  std::uint32_t error;
  std::string text;
};

ReportResult CertificateReport(const std::vector<std::uint8_t>& der, bool verify) {
  OwnedCert cert(der);
  ReportCapture capture;
  ReportResult result{};
  result.status = WriteCertificateReport(capture.file(), cert.get(), verify, &result.error);
  result.text = capture.Text();
  return result;
}

// Each expected file was written by hand from the input's fields (as
// openssl shows them) and the report's line formats.
TEST(CertificateReport, MatchesTheExpectedFiles) {
  const struct {
    const char* input;
    const char* expected;
  } kTests[] = {
      {"root.der", "root.txt"},
      {"chained.der", "chained.txt"},
      {"strings.der", "strings.txt"},
      {"bundle.p7b", "bundle.txt"},
      {"sequence.der", "sequence.txt"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.input);
    const ReportResult result = CertificateReport(ReadBytes(ReportDataPath(test.input)), false);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.text, ReadText(ReportDataPath(test.expected)));
  }
}

}  // namespace
}  // namespace kcertadm
