// Certificates packaged and read for the host: EnvelopeCert,
// PackagePKCS7Cert and ReadCert. The host program has openssl read the
// packages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kcertadm.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

class PackagingTest : public ::testing::Test {
 protected:
  void SetUp() override { InitialiseLibrary(); }
  ScratchDir dir_;
};

// The certificate a PKCS #7 package unwraps to.
Bytes Unwrapped(const Bytes& package) {
  HostRecord record;
  record.cert.der.data = static_cast<std::uint8_t*>(std::malloc(package.size()));
  std::memcpy(record.cert.der.data, package.data(), package.size());
  record.cert.der.length = static_cast<std::int32_t>(package.size());
  CertFields fields{};
  std::uint32_t error = 0;
  EXPECT_EQ(ParseCert(&record.cert, &fields, &error), 0);
  return BytesOf(record.cert.der);
}

TEST_F(PackagingTest, BothPackagesUnwrapToTheCertificate) {
  const Bytes certificate = ReadFile(ServiceDataPath("server.der"));
  char output[4096];
  char message[256];
  ASSERT_EQ(EnvelopeCert(12345, Base64Of(certificate).c_str(), output, sizeof output, message, sizeof message),
            0);
  EXPECT_TRUE(HoldsMessage(message, 30040)) << message;
  EXPECT_EQ(Unwrapped(DecodeBase64(output)), certificate);

  HostRecord record;
  record.cert.der.data = static_cast<std::uint8_t*>(std::malloc(certificate.size()));
  std::memcpy(record.cert.der.data, certificate.data(), certificate.size());
  record.cert.der.length = static_cast<std::int32_t>(certificate.size());
  ASSERT_EQ(PackagePKCS7Cert(&record.cert), 0);
  ASSERT_EQ(PackagePKCS7Cert(&record.cert), 0) << "packaging twice replaces the first package";
  EXPECT_EQ(Unwrapped(BytesOf(record.cert.pkcs7)), certificate);
}

TEST_F(PackagingTest, EnvelopeCertRefusesWhatIsNotACertificate) {
  struct Case {
    const char* why;
    const char* text;
    std::uint32_t message;
  };
  const Case kTests[] = {
      // Stops at the failed decode: nothing is packaged from nothing.
      {"not base64", "this is not base64", 30043},
      {"empty text", "", 30043},
      {"no text", nullptr, 30043},
      // "AAAA" decodes to three zero octets, not one DER element.
      {"not one DER element", "AAAA", 30046},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    char output[64] = "untouched";
    char message[256] = "";
    EXPECT_NE(EnvelopeCert(0, test.text, output, sizeof output, message, sizeof message), 0);
    EXPECT_TRUE(HoldsMessage(message, test.message)) << message;
    EXPECT_STREQ(output, "untouched");
  }
}

TEST_F(PackagingTest, ReadCertReadsTextAndDerFiles) {
  const Bytes certificate = ReadFile(ServiceDataPath("server.der"));
  const std::string text = "-----BEGIN CERTIFICATE-----\n" + Base64Of(certificate) + "\n-----END CERTIFICATE-----\n";
  WriteFileBytes(dir_.Path("server.arm"), Bytes(text.begin(), text.end()));
  WriteFileBytes(dir_.Path("server.der"), certificate);
  struct Case {
    const char* why;
    std::string file;
    std::int32_t useBER;
    std::uint32_t error;
  };
  const Case kTests[] = {
      {"armoured Base64", dir_.Path("server.arm"), 0, 0},
      {"DER", dir_.Path("server.der"), 1, 0},
      {"no such file", dir_.Path("absent.arm"), 0, 30032},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    SecurityCmdContext context{};
    context.keyFile = "keyfile.kyr";
    context.certReqFile = test.file.c_str();
    context.useBER = test.useBER;
    HostRecord record;
    std::uint32_t error = 0;
    EXPECT_EQ(ReadCert(&context, &record.cert, &error) == 0, test.error == 0);
    EXPECT_EQ(error, test.error);
    EXPECT_EQ(BytesOf(record.cert.der), test.error == 0 ? certificate : Bytes{});
  }
}

}  // namespace
}  // namespace kcertadm::test
