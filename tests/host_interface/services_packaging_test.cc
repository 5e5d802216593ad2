// Certificates packaged and read for the host: EnvelopeCert,
// PackagePKCS7Cert and ReadCert.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "host_interface/messages.h"
#include "kcertadm.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

bool HoldsMessage(const char* buffer, std::uint32_t number) {
  const char* text = MessageText(number);
  return text != nullptr && std::strcmp(buffer, text) == 0;
}

class PackagingTest : public ::testing::Test {
 protected:
  void SetUp() override { InitialiseLibrary(); }
  ScratchDir dir_;
};

TEST_F(PackagingTest, EnvelopeCertOutputIsPrintedByOpenssl) {
  const std::string certificate = Base64Of(ReadFile(ServiceDataPath("server.der")));
  char output[4096];
  char message[256];
  ASSERT_EQ(EnvelopeCert(12345, certificate.c_str(), output, sizeof output, message,
                         sizeof message),
            0);
  EXPECT_TRUE(HoldsMessage(message, 30040)) << message;
  WriteFile(dir_.Path("server.p7b"), DecodeBase64(output));
  std::string printed;
  ASSERT_EQ(RunShell("openssl pkcs7 -inform DER -in " + dir_.Path("server.p7b") + " -print_certs",
                &printed),
            0);
  EXPECT_NE(printed.find("subject=C = DE, O = Service Tests, CN = server.example.org"),
            std::string::npos)
      << printed;
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

TEST_F(PackagingTest, PackagePkcs7CertWrapsTheRecordsDer) {
  const Bytes certificate = ReadFile(ServiceDataPath("root.der"));
  HostRecord record;
  record.cert.der.data = static_cast<std::uint8_t*>(std::malloc(certificate.size()));
  std::memcpy(record.cert.der.data, certificate.data(), certificate.size());
  record.cert.der.length = static_cast<std::int32_t>(certificate.size());
  ASSERT_EQ(PackagePKCS7Cert(&record.cert), 0);
  // Packaging twice replaces the first package.
  ASSERT_EQ(PackagePKCS7Cert(&record.cert), 0);

  // The package unwraps to the same certificate.
  HostRecord unwrapped;
  const Bytes package = BytesOf(record.cert.pkcs7);
  unwrapped.cert.der.data = static_cast<std::uint8_t*>(std::malloc(package.size()));
  std::memcpy(unwrapped.cert.der.data, package.data(), package.size());
  unwrapped.cert.der.length = static_cast<std::int32_t>(package.size());
  CertFields fields{};
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&unwrapped.cert, &fields, &error), 0);
  EXPECT_EQ(BytesOf(unwrapped.cert.der), certificate);
}

TEST_F(PackagingTest, ReadCertReadsTextAndDerFiles) {
  const Bytes certificate = ReadFile(ServiceDataPath("server.der"));
  const std::string armoured = dir_.Path("server.arm");
  WriteFile(armoured, [&] {
    const std::string text =
        "-----BEGIN CERTIFICATE-----\n" + Base64Of(certificate) + "\n-----END CERTIFICATE-----\n";
    return Bytes(text.begin(), text.end());
  }());
  const std::string der = dir_.Path("server.der");
  WriteFile(der, certificate);

  struct Case {
    const char* why;
    std::string file;
    std::int32_t useBER;
  };
  const Case kTests[] = {
      {"armoured Base64", armoured, 0},
      {"DER", der, 1},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    SecurityCmdContext context{};
    context.keyFile = "keyfile.kyr";
    context.certReqFile = test.file.c_str();
    context.useBER = test.useBER;
    HostRecord record;
    std::uint32_t error = 0;
    ASSERT_EQ(ReadCert(&context, &record.cert, &error), 0) << error;
    EXPECT_EQ(BytesOf(record.cert.der), certificate);
  }

  SecurityCmdContext context{};
  context.keyFile = "keyfile.kyr";
  const std::string absent = dir_.Path("absent.arm");
  context.certReqFile = absent.c_str();
  HostRecord record;
  std::uint32_t error = 0;
  EXPECT_NE(ReadCert(&context, &record.cert, &error), 0);
  EXPECT_EQ(error, 30032u);
}

}  // namespace
}  // namespace kcertadm::test
