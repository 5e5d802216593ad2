// The certificate and request reports against the committed expected texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cert/certificate.h"
#include "commands/report.h"
#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// A record that owns a malloc copy of bytes, as a file reader leaves it.
class OwnedCert {
 public:
  explicit OwnedCert(const std::vector<std::uint8_t>& bytes) {
    auto* block = static_cast<std::uint8_t*>(std::malloc(bytes.size() + 1));
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());  // data() may be null
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

// The text without its fingerprint line (which changes with any byte).
std::string WithoutFingerprint(const std::string& text) {
  const std::size_t start = text.find("Fingerprint: ");
  if (start == std::string::npos) return text;
  return text.substr(0, start) + text.substr(text.find('\n', start) + 1);
}

// Each expected file was written by hand from the input's fields (as
// openssl shows them) and the report's line formats. The PKCS #7 bundle is
// compared through ViewCert.
TEST(CertificateReport, MatchesTheExpectedFiles) {
  std::vector<std::uint8_t> broken = ReportData("root.der");
  broken[broken.size() - 3] ^= 0x40;  // inside the signature
  const struct {
    const char* name;
    std::vector<std::uint8_t> der;
    bool verify;
    std::uint32_t error;
    const char* expected;
  } kTests[] = {
      {"chained", ReportData("chained.der"), false, 0, "chained.txt"},
      {"strings", ReportData("strings.der"), false, 0, "strings.txt"},
      {"sequence", ReportData("sequence.der"), false, 0, "sequence.txt"},
      {"a self-signed root verified", ReportData("root.der"), true, 0, "root.txt"},
      {"an issued certificate is not verified", ReportData("chained.der"), true, 0, "chained.txt"},
      // Written up to the check; only the fingerprint differs.
      {"a broken signature ends the report with 30055", broken, true, kMsgBadSignature, "root.txt"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    const ReportResult result = CertificateReport(test.der, test.verify);
    EXPECT_EQ(result.status, test.error == 0 ? 0 : -1);
    EXPECT_EQ(result.error, test.error);
    const std::string expected = ReportText(test.expected);
    EXPECT_EQ(test.error == 0 ? result.text : WithoutFingerprint(result.text),
              test.error == 0 ? expected : WithoutFingerprint(expected));
  }
}

std::vector<std::uint8_t> Replaced(std::vector<std::uint8_t> bytes, std::size_t offset,
                                   std::uint8_t value) {
  bytes.at(offset) = value;
  return bytes;
}

TEST(CertificateReport, RefusesCertificatesThatDoNotDecode) {
  const std::vector<std::uint8_t> root = ReportData("root.der");
  std::vector<std::uint8_t> cut = root;
  cut.resize(400);
  // The root's notBefore UTCTime (tag at offset 166) turned into an
  // OCTET STRING.
  ASSERT_EQ(root.at(166), 0x17);
  const struct {
    const char* why;
    std::vector<std::uint8_t> der;
  } kTests[] = {
      {"nothing", {}},
      {"cut short", cut},
      {"a validity time of another type", Replaced(root, 166, 0x04)},
      {"a container of an unknown content type",
       Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 07 03 A0 00")},
      {"SignedData without certificates",
       Hex("30 1C 06 09 2A 86 48 86 F7 0D 01 07 02 A0 0F 30 0D 02 01 01 31 00 30 02 "
                    "06 00 31 00 00 00")},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const ReportResult result = CertificateReport(test.der, false);
    EXPECT_EQ(result.status, -1);
    EXPECT_EQ(result.error, kMsgBadCertificate);
  }
}

TEST(RequestReport, RefusesARequestThatDoesNotVerify) {
  std::vector<std::uint8_t> der = ReportData("request.der");
  der[der.size() - 2] ^= 0x01;
  OwnedCert cert(der);
  ReportCapture capture;
  std::uint32_t error = 0;
  EXPECT_EQ(WriteRequestReport(capture.file(), cert.get(), &error), -1);
  EXPECT_EQ(error, kMsgBadSignature);
  EXPECT_EQ(capture.Text(), "");
}

}  // namespace
}  // namespace kcertadm
