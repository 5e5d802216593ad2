// Refusals of shared steps, checked over every service that takes the step; and certificate packaging.
#include <cstring>

#include "services_test_util.h"

namespace kcertadm::test {
namespace {

using SharedChecksTest = ServicesTest;

// Base64 text from the host that does not decode is refused with 30043, and nothing is built from it.
TEST_F(SharedChecksTest, TextThatDoesNotDecodeIsRefused) {
  for (const char* text : {"not base64!", "", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(text != nullptr ? "\"" + std::string(text) + "\"" : "no text");
    SecurityCmdContext client{.commonName = "Client", .requestText = text,
                              .requestTextLength = text ? static_cast<std::uint32_t>(std::strlen(text)) : 0};
    HostRecord request, record;
    if (text != nullptr) SetText(&record.value.reqText, text);
    CertFields fields{};
    std::uint32_t error = 0;
    char output[64] = "untouched", message[256];
    const std::vector<Outcome> outcomes = {  // a braced list runs the calls in order
        {ProcessClientCertReq(&client, &request.value, &error), error},
        {ParseCertReq(&record.value, &fields, &error), error},
        {SignCertificate("KeyFile=k;Password=p", text, output, sizeof output, message, sizeof message),
         MessageIn(message)},
        {EnvelopeCert(0, text, output, sizeof output, message, sizeof message), MessageIn(message)},
        // "AAAA" decodes to three zero octets, not one DER element: nothing is packaged.
        {EnvelopeCert(0, "AAAA", output, sizeof output, message, sizeof message), MessageIn(message)}};
    EXPECT_EQ(outcomes, (std::vector<Outcome>{{-1, 30043}, {-1, 30043}, {-1, 30043}, {-1, 30043}, {-1, 30046}}));
    EXPECT_STREQ(output, "untouched");
  }
}

// A key ring that does not open is refused alike by the services that read one (a bad password: GetKeyData).
TEST_F(SharedChecksTest, KeyRingThatDoesNotOpenIsRefused) {
  const std::string missing = dir_.Path("missing.kyr"), parameters = "KeyFile=" + missing + ";Password=p";
  SecurityCmdContext context{.password = "p", .keyFile = missing.c_str()};
  HostKeyData key, root;
  HostRecord cert;
  DnFields name{};
  char messages[4][256] = {}, output[64];
  EXPECT_NE(GetServerKey(missing.c_str(), "p", &key.value, messages[0], sizeof messages[0]), 0);
  EXPECT_NE(GetServerRootCert(missing.c_str(), &root.value, messages[1], sizeof messages[1]), 0);
  EXPECT_NE(GetCertDN(&context, &cert.value, &name, messages[2], sizeof messages[2]), 0);
  EXPECT_NE(SignCertificate(parameters.c_str(), "AAAA", output, sizeof output, messages[3], sizeof messages[3]), 0);
  for (const char* message : messages) EXPECT_EQ(MessageIn(message), 30010u) << message;
}

// An armoured certificate file is read as its DER (host_program reads a DER one); a missing file is refused.
TEST_F(SharedChecksTest, ReadCertReadsArmouredFiles) {
  const Bytes certificate = ReadFileBytes(ServiceDataPath("server.der"));
  dir_.Write("server.arm", "-----BEGIN CERTIFICATE-----\n" + Base64Of(certificate) + "\n-----END CERTIFICATE-----\n");
  for (const auto& [file, error_expected] : {std::pair{dir_.Path("server.arm"), 0u}, {dir_.Path("absent"), 30032u}}) {
    SCOPED_TRACE(file);
    SecurityCmdContext context{.certReqFile = file.c_str()};
    HostRecord record;
    std::uint32_t error = 0;
    EXPECT_EQ((Outcome{ReadCert(&context, &record.value, &error), error}),
              (Outcome{error_expected ? -1 : 0, error_expected}));
    EXPECT_EQ(BytesOf(record.value.der), error_expected == 0 ? certificate : Bytes{});
  }
}

}  // namespace
}  // namespace kcertadm::test
