// Certificates packaged and read for the host: EnvelopeCert, PackagePKCS7Cert
// and ReadCert. The host program has openssl read the packages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kcertadm.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

using PackagingTest = ServicesTest;

// The certificate a PKCS #7 package unwraps to.
Bytes Unwrapped(const Bytes& package) {
  HostRecord record;
  SetText(&record.value.der, std::string(package.begin(), package.end()));
  CertFields fields{};
  std::uint32_t error = 0;
  EXPECT_EQ(ParseCert(&record.value, &fields, &error), 0);
  return BytesOf(record.value.der);
}

TEST_F(PackagingTest, PackagesUnwrapToTheCertificate) {
  const Bytes certificate = ReadFileBytes(ServiceDataPath("server.der"));
  char output[4096];
  char message[256];
  ASSERT_EQ(EnvelopeCert(12345, Base64Of(certificate).c_str(), output, sizeof output, message, sizeof message), 0);
  EXPECT_EQ(MessageIn(message), 30040u);
  EXPECT_EQ(Unwrapped(DecodeBase64(output)), certificate);
  // "AAAA" decodes to three zero octets, not one DER element: nothing is packaged.
  std::strcpy(output, "untouched");
  EXPECT_EQ(Outcome(EnvelopeCert(0, "AAAA", output, sizeof output, message, sizeof message), MessageIn(message)),
            Outcome(-1, 30046));
  EXPECT_STREQ(output, "untouched");

  HostRecord record;
  SetText(&record.value.der, std::string(certificate.begin(), certificate.end()));
  ASSERT_EQ(PackagePKCS7Cert(&record.value), 0);
  ASSERT_EQ(PackagePKCS7Cert(&record.value), 0) << "packaging twice replaces the first package";
  EXPECT_EQ(Unwrapped(BytesOf(record.value.pkcs7)), certificate);
}

TEST_F(PackagingTest, ReadCertReadsTextAndDerFiles) {
  const Bytes certificate = ReadFileBytes(ServiceDataPath("server.der"));
  dir_.Write("server.arm", "-----BEGIN CERTIFICATE-----\n" + Base64Of(certificate) + "\n-----END CERTIFICATE-----\n");
  testing::WriteFileBytes(dir_.Path("server.der"), certificate);
  struct Case {
    std::string file;
    std::int32_t useBER;
    std::uint32_t error;
  } const kTests[] = {
      {dir_.Path("server.arm"), 0, 0},
      {dir_.Path("server.der"), 1, 0},
      {dir_.Path("absent.arm"), 0, 30032},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.file);
    SecurityCmdContext context{};
    context.certReqFile = test.file.c_str();
    context.useBER = test.useBER;
    HostRecord record;
    std::uint32_t error = 0;
    EXPECT_EQ(Outcome(ReadCert(&context, &record.value, &error), error), Outcome(test.error ? -1 : 0, test.error));
    EXPECT_EQ(BytesOf(record.value.der), test.error == 0 ? certificate : Bytes{});
  }
}

}  // namespace
}  // namespace kcertadm::test
