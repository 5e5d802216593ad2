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

// The text without its fingerprint line (which changes with any byte).
std::string WithoutFingerprint(const std::string& text) {
  const std::size_t start = text.find("Fingerprint: ");
  if (start == std::string::npos) return text;
  return text.substr(0, start) + text.substr(text.find('\n', start) + 1);
}

TEST(CertificateReport, VerifiesOnlySelfIssuedCertificates) {
  std::vector<std::uint8_t> broken = ReadBytes(ReportDataPath("root.der"));
  broken[broken.size() - 3] ^= 0x40;  // inside the signature
  const struct {
    const char* name;
    std::vector<std::uint8_t> der;
    int status;
    std::uint32_t error;
    const char* expected;
  } kTests[] = {
      {"a self-signed root", ReadBytes(ReportDataPath("root.der")), 0, 0, "root.txt"},
      {"a broken signature ends the report with 30055", broken, -1, kMsgBadSignature,
       "root.txt"},
      {"an issued certificate is not checked", ReadBytes(ReportDataPath("chained.der")), 0, 0,
       "chained.txt"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    const ReportResult result = CertificateReport(test.der, true);
    EXPECT_EQ(result.status, test.status);
    EXPECT_EQ(result.error, test.error);
    EXPECT_EQ(WithoutFingerprint(result.text),
              WithoutFingerprint(ReadText(ReportDataPath(test.expected))));
  }
}

std::vector<std::uint8_t> Replaced(std::vector<std::uint8_t> bytes, std::size_t offset,
                                   std::uint8_t value) {
  bytes.at(offset) = value;
  return bytes;
}

TEST(CertificateReport, RefusesCertificatesThatDoNotDecode) {
  const std::vector<std::uint8_t> root = ReadBytes(ReportDataPath("root.der"));
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
       testing::Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 07 03 A0 00")},
      {"SignedData without certificates",
       testing::Hex("30 1C 06 09 2A 86 48 86 F7 0D 01 07 02 A0 0F 30 0D 02 01 01 31 00 30 02 "
                    "06 00 31 00 00 00")},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const ReportResult result = CertificateReport(test.der, false);
    EXPECT_EQ(result.status, -1);
    EXPECT_EQ(result.error, kMsgBadCertificate);
  }
}

TEST(RequestReport, MatchesTheExpectedFile) {
  // The extensions come from the third of the request's three attributes.
  OwnedCert cert(ReadBytes(ReportDataPath("request.der")));
  ReportCapture capture;
  std::uint32_t error = 0;
  EXPECT_EQ(WriteRequestReport(capture.file(), cert.get(), &error), 0);
  EXPECT_EQ(capture.Text(), ReadText(ReportDataPath("request.txt")));
}

TEST(RequestReport, RefusesARequestThatDoesNotVerify) {
  std::vector<std::uint8_t> der = ReadBytes(ReportDataPath("request.der"));
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
