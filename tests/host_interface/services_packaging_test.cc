// Certificates packaged and read for the host; the host program has openssl
// read the packages.
#include <gtest/gtest.h>

#include <string>

#include "kcertadm.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

using PackagingTest = ServicesTest;

// "AAAA" decodes to three zero octets, not one DER element: nothing is packaged.
TEST_F(PackagingTest, EnvelopeCertWrapsOnlyOneDerElement) {
  char output[64] = "untouched";
  char message[256];
  EXPECT_EQ(Outcome(EnvelopeCert(0, "AAAA", output, sizeof output, message, sizeof message), MessageIn(message)),
            Outcome(-1, 30046));
  EXPECT_STREQ(output, "untouched");
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
