// The certificate and request reports against the committed expected texts.
#include <cstring>

#include "cert/certificate.h"
#include "command_test_util.h"
#include "commands/report.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// A record that owns a malloc copy of bytes, as a file reader leaves it.
class OwnedCert {
 public:
  explicit OwnedCert(const Bytes& bytes) {
    auto* block = static_cast<std::uint8_t*>(std::malloc(bytes.size() + 1));
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());  // data() may be null
    InitCertData(&cert_, block, static_cast<std::int32_t>(bytes.size()));
  }
  ~OwnedCert() { FreeCertData(&cert_); }
  CertData* get() { return &cert_; }

 private:
  CertData cert_{};
};

// The text without its fingerprint line (which changes with any byte).
std::string WithoutFingerprint(const std::string& text) {
  const std::size_t start = text.find("Fingerprint: ");
  if (start == std::string::npos) return text;
  return text.substr(0, start) + text.substr(text.find('\n', start) + 1);
}

// Each expected file was written by hand from the input's fields (as
// openssl shows them) and the report's line formats.
TEST(CertificateReport, MatchesTheExpectedFilesOrRefuses) {
  const Bytes root = ReportData("root.der");
  Bytes broken = root, cut = root, otherTime = root;
  broken[broken.size() - 3] ^= 0x40;  // inside the signature
  cut.resize(400);
  ASSERT_EQ(otherTime.at(166), 0x17);  // the notBefore UTCTime
  otherTime[166] = 0x04;
  const struct {
    const char* name;
    Bytes der;
    bool verify;
    std::uint32_t error;
    const char* expected;
  } kTests[] = {
      {"chained", ReportData("chained.der"), false, 0, "chained.txt"},
      {"strings", ReportData("strings.der"), false, 0, "strings.txt"},
      {"sequence", ReportData("sequence.der"), false, 0, "sequence.txt"},
      {"a self-signed root verified", root, true, 0, "root.txt"},
      {"an issued certificate is not verified", ReportData("chained.der"), true, 0, "chained.txt"},
      // Written up to the check; only the fingerprint differs.
      {"a broken signature ends the report with 30055", broken, true, kMsgBadSignature, "root.txt"},
      // Refused: none of these decodes as a certificate.
      {"nothing", {}, false, kMsgBadCertificate, nullptr},
      {"cut short", cut, false, kMsgBadCertificate, nullptr},
      {"a validity time of another type", otherTime, false, kMsgBadCertificate, nullptr},
      {"a container of an unknown content type", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 07 03 A0 00"), false,
       kMsgBadCertificate, nullptr},
      {"SignedData without certificates",
       Hex("30 1C 06 09 2A 86 48 86 F7 0D 01 07 02 A0 0F 30 0D 02 01 01 31 00 30 02 06 00 31 00 00 00"), false,
       kMsgBadCertificate, nullptr},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    OwnedCert cert(test.der);
    ReportCapture capture;
    std::uint32_t error = 0;
    EXPECT_EQ(WriteCertificateReport(capture.file(), cert.get(), test.verify, &error), test.error == 0 ? 0 : -1);
    EXPECT_EQ(error, test.error);
    if (test.expected == nullptr) continue;
    const std::string text = capture.Text(), expected = ReportText(test.expected);
    EXPECT_EQ(test.error == 0 ? text : WithoutFingerprint(text),
              test.error == 0 ? expected : WithoutFingerprint(expected));
  }
}

TEST(RequestReport, RefusesARequestThatDoesNotVerify) {
  Bytes der = ReportData("request.der");
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
