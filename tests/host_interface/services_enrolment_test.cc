// Client enrolment, request signing and packaging with openssl's requests; host_program checks what
// is issued.
#include <chrono>
#include <cstring>
#include <future>
#include <optional>

#include "keyring/file_lock.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

// A PKCS #10 request for the client key made by openssl, as Base64 on one line.
std::string OpensslRequest(const std::string& digest = "md5") {
  return RunShell("openssl req -new -key '" + ServiceDataPath("client.pem") +
                  "' -subj /CN=Client -" + digest + " -outform DER | openssl base64 -A");
}

// A signed public key and challenge ("hello") for the key keyCommand prints, as Base64 on one line.
std::string Spkac(const char* digest = "md5",
                  const std::string& keyCommand = "cat '" + ServiceDataPath("client.pem") + "'") {
  return RunShell(keyCommand + " | openssl spkac -key /dev/stdin -challenge hello -digest " +
                  digest + " | sed -n 's/^SPKAC=//p' | tr -d '\\n'");
}

class EnrolmentTest : public ServicesTest {
 protected:
  void SetUp() override {
    ServicesTest::SetUp();
    keyFile_ = Ring("ca.kyr", {{"root", true, true}});
    spkac_ = Spkac();
    ASSERT_FALSE(spkac_.empty());
  }
  // What ProcessClientCertReq makes of text; request receives the client request text unless
  // certFile does.
  static Outcome Enrol(const std::string& text, HostRecord& request,
                       const char* commonName = "Client One", const char* certFile = nullptr) {
    SecurityCmdContext client{.commonName = commonName,
                              .requestText = text.c_str(),
                              .requestTextLength = static_cast<std::uint32_t>(text.size()),
                              .certFile = certFile};
    std::uint32_t error = 0;
    return {ProcessClientCertReq(&client, &request.value, &error), error};
  }
  // What SignClientCert makes of the client request in issued.
  Outcome SignClient(std::int32_t validDays, std::int32_t clientCert, HostRecord& issued) {
    HostRecord request;
    EXPECT_EQ(Enrol(spkac_, request), (Outcome{0, 30044}));
    std::swap(issued.value.reqText, request.value.reqText);
    SecurityCmdContext signer{.password = kPassword,
                              .keyFile = keyFile_.c_str(),
                              .validDays = validDays,
                              .clientCert = clientCert};
    std::uint32_t error = 0;
    return {SignClientCert(&signer, &issued.value, &error), error};
  }
  std::string keyFile_, spkac_;
};

TEST_F(EnrolmentTest, CertFileReceivesTheRequestInCertificateArmour) {
  const std::string path = dir_.Path("client.req");
  HostRecord request;
  EXPECT_EQ(Enrol(spkac_, request, "Client", path.c_str()), (Outcome{0, 30044}));
  EXPECT_EQ(request.value.reqText.length, 0);
  const std::string text = test_support::ReadFileText(path);
  EXPECT_TRUE(text.starts_with("-----BEGIN CERTIFICATE-----\n") &&
              text.ends_with("\n-----END CERTIFICATE-----"));
  // An empty name is no file, and not a wish for the text either.
  HostRecord unnamed;
  EXPECT_EQ(Enrol(spkac_, unnamed, "Client", ""), (Outcome{-1, 30033}));
  EXPECT_EQ(unnamed.value.reqText.length, 0);
}

TEST_F(EnrolmentTest, HostileClientRequestsAreRefused) {
  const std::string decoded = RunShell("printf %s '" + spkac_ + "' | openssl base64 -d -A");
  const Bytes der(decoded.begin(), decoded.end());
  ASSERT_GT(der.size(), 20u);
  Bytes badSignature = der, trailing = der, otherChallengeType = der;
  badSignature.at(badSignature.size() - 5) ^= 0x01;
  trailing.push_back(0x00);
  const Bytes hello = {0x16, 0x05, 'h', 'e',
                       'l',  'l',  'o'};  // the IA5String challenge, made a UTF8String
  auto at =
      std::search(otherChallengeType.begin(), otherChallengeType.end(), hello.begin(), hello.end());
  ASSERT_NE(at, otherChallengeType.end());
  *at = 0x0C;
  const std::string ecKey = "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256";
  struct Case {
    const char* why;
    std::string text;
    const char* commonName;
    std::uint32_t message;
  };
  const Case kTests[] = {
      {"elliptic-curve key", Spkac("sha256", ecKey), "Client", 30076},  // the key type, by name
      {"sha224 signature", Spkac("sha224"), "Client", 30077},      // cannot be checked: not "wrong"
      {"no structure", "AAAA", "Client", 30041},                   // not a signed structure
      {"bad signature", Base64Of(badSignature), "Client", 30055},  // must not verify with its key
      {"trailing bytes", Base64Of(trailing), "Client", 30041},     // not one structure
      {"challenge type", Base64Of(otherChallengeType), "Client", 30041},  // must be an IA5String
      {"no common name", spkac_, nullptr, 30061},                         // checked before decoding
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    HostRecord request;
    EXPECT_EQ(Enrol(test.text, request, test.commonName), (Outcome{-1, test.message}));
    EXPECT_EQ(request.value.reqText.length, 0);
  }
}

TEST_F(EnrolmentTest, SignClientCertRefusesWhatItCannotSign) {
  struct Case {
    const char* why;
    std::int32_t validDays;
    std::int32_t clientCert;
    std::uint32_t message;
  };
  const Case kTests[] = {
      {"client request read as PKCS #10", 365, 0,
       30045},                              // without ClientCert it is not a PKCS #10 request
      {"negative validity", -1, 1, 30005},  // days beyond SignCert's range would overflow
      {"validity too long", 10001, 1, 30005},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    HostRecord issued;
    EXPECT_EQ(SignClient(test.validDays, test.clientCert, issued), (Outcome{-1, test.message}));
    EXPECT_EQ(issued.value.certText.length, 0);
  }
}

// The signing key is read under the key ring's file lock: a writer replaces ring and stash one
// after the other.
TEST_F(EnrolmentTest, SignClientCertWaitsWhileAnotherThreadHoldsTheRingLock) {
  HostRecord issued;
  std::optional<KeyRingFileLock> writer(std::in_place, keyFile_);
  ASSERT_TRUE(writer->Held());
  auto signing = std::async(std::launch::async, [&] { return SignClient(30, 1, issued); });
  EXPECT_EQ(signing.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  writer.reset();
  EXPECT_EQ(signing.get(), (Outcome{0, 30040}));
}

TEST_F(EnrolmentTest, SignCertificateCopiesOnlyWhatFitsAndReportsFailures) {
  const std::string request = OpensslRequest();
  const std::string good = "KeyFile=" + keyFile_ + ";Password=" + kPassword;
  // The parameter text may be read-only memory: it is not changed.
  char output[4096], message[256];
  ASSERT_EQ(SignCertificate(good.c_str(), request.c_str(), output, sizeof output, message,
                            sizeof message),
            0);
  const std::uint32_t length = static_cast<std::uint32_t>(std::strlen(output));
  struct Case {
    const char* why;
    std::string parameters;
    std::uint32_t size;
    std::uint32_t message;
    bool copied;
  };
  const Case kTests[] = {
      {"room for the text and its NUL", "KeyFile=" + keyFile_ + ";UseStash", length + 1, 30040,
       true},
      {"exactly the text's length: no room for the NUL", good, length, 30040, false},
      {"no output at all", good, 0, 30040, false},
      {"no key file", std::string("Password=") + kPassword, sizeof output, 30004,
       false},  // none by default here
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    std::memset(output, 'X', sizeof output);
    const std::int32_t status = SignCertificate(test.parameters.c_str(), request.c_str(), output,
                                                test.size, message, sizeof message);
    EXPECT_EQ((Outcome{status, MessageIn(message)}),
              (Outcome{test.message == 30040 ? 0 : -1, test.message}));
    EXPECT_EQ(std::memchr(output, '\0', sizeof output) == output + length, test.copied);
  }
}

// Requests and client requests signed with SHA-2 are checked and signed like MD5 ones.
TEST_F(EnrolmentTest, Sha2RequestsAreTaken) {
  const std::string parameters = "KeyFile=" + keyFile_ + ";Password=" + kPassword;
  for (const char* digest : {"sha256", "sha384", "sha512"}) {
    SCOPED_TRACE(digest);
    const std::string request = OpensslRequest(digest);
    HostRecord record;
    SetText(&record.value.reqText, request);
    CertFields fields{};
    std::uint32_t error = 0;
    EXPECT_EQ((Outcome{ParseCertReq(&record.value, &fields, &error), error}), (Outcome{0, 0}));
    char output[4096], message[256];
    EXPECT_EQ(SignCertificate(parameters.c_str(), request.c_str(), output, sizeof output, message,
                              sizeof message),
              0)
        << message;
    HostRecord enrolled;
    EXPECT_EQ(Enrol(Spkac(digest), enrolled), (Outcome{0, 30044}));
  }
}

// A record ParseCert unwrapped from a PKCS #7 package: the request replaces it, and no container is
// left to leak.
TEST_F(EnrolmentTest, ParseCertReqReplacesAnUnwrappedPackage) {
  HostRecord record;
  SetText(&record.value.der, test_support::ReadFileText(ServiceDataPath("root.der")));
  ASSERT_EQ(PackagePKCS7Cert(&record.value), 0);
  std::swap(record.value.der, record.value.pkcs7);
  CertFields fields{};
  std::uint32_t error = 0;
  ASSERT_TRUE(ParseCert(&record.value, &fields, &error) == 0 &&
              record.value.container.data != nullptr);
  SetText(&record.value.reqText, OpensslRequest());
  ASSERT_EQ(ParseCertReq(&record.value, &fields, &error), 0) << error;
  EXPECT_TRUE(record.value.container.data == nullptr && record.value.setRemaining == 0);
  EXPECT_EQ(
      TextOf(fields.subjectPublicKeyInfo),
      RunShell("openssl pkey -in '" + ServiceDataPath("client.pem") + "' -pubout -outform DER"));
}

// Base64 text from the host that does not decode is refused with 30043, and nothing is built from
// it.
TEST_F(ServicesTest, TextThatDoesNotDecodeIsRefused) {
  for (const char* text : {"not base64!", "", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(text != nullptr ? "\"" + std::string(text) + "\"" : "no text");
    SecurityCmdContext client{
        .commonName = "Client",
        .requestText = text,
        .requestTextLength = text ? static_cast<std::uint32_t>(std::strlen(text)) : 0};
    HostRecord request, record;
    if (text != nullptr) SetText(&record.value.reqText, text);
    CertFields fields{};
    std::uint32_t error = 0;
    char output[64] = "untouched", message[256];
    const std::vector<Outcome> outcomes = {
        // a braced list runs the calls in order
        {ProcessClientCertReq(&client, &request.value, &error), error},
        {ParseCertReq(&record.value, &fields, &error), error},
        {SignCertificate("KeyFile=k;Password=p", text, output, sizeof output, message,
                         sizeof message),
         MessageIn(message)},
        {EnvelopeCert(0, text, output, sizeof output, message, sizeof message), MessageIn(message)},
        // "AAAA" decodes to three zero octets, not one DER element: nothing is packaged.
        {EnvelopeCert(0, "AAAA", output, sizeof output, message, sizeof message),
         MessageIn(message)}};
    EXPECT_EQ(outcomes, (std::vector<Outcome>{
                            {-1, 30043}, {-1, 30043}, {-1, 30043}, {-1, 30043}, {-1, 30046}}));
    EXPECT_STREQ(output, "untouched");
  }
}

// An armoured certificate file is read as its DER (host_program reads a DER one, the commands a
// missing one).
TEST_F(ServicesTest, ReadCertReadsArmouredFiles) {
  const Bytes certificate = ReadFileBytes(ServiceDataPath("server.der"));
  const std::string file =
      dir_.Write("server.arm", "-----BEGIN CERTIFICATE-----\n" + Base64Of(certificate) +
                                   "\n-----END CERTIFICATE-----\n");
  SecurityCmdContext context{.certReqFile = file.c_str()};
  HostRecord record;
  std::uint32_t error = 0;
  ASSERT_EQ(ReadCert(&context, &record.value, &error), 0) << error;
  EXPECT_EQ(BytesOf(record.value.der), certificate);
}

}  // namespace
}  // namespace kcertadm::test
