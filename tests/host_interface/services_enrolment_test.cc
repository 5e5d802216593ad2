// Client enrolment and request signing as a host drives them:
// ProcessClientCertReq, SignClientCert, SignCertificate and ParseCertReq,
// with requests made by openssl. What the records and buffers carry is
// checked here; the host program checks the issued certificates with
// openssl and an independent X.509 reader.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <utility>

#include "host_interface/services_client_request.h"
#include "kcertadm.h"
#include "keyring/file_lock.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

// The Base64 text of a signed public key and challenge made by openssl for
// the client key, with an MD5 signature.
std::string MakeSpkac() {
  std::string out;
  RunShell("openssl spkac -key '" + ServiceDataPath("client.pem") + "' -challenge hello -digest md5", &out);
  const std::string prefix = "SPKAC=";
  if (out.rfind(prefix, 0) != 0) return "";
  out.erase(0, prefix.size());
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// A PKCS #10 request made by openssl, as Base64 on one line.
std::string OpensslRequest(const std::string& subject) {
  std::string text;
  RunShell("openssl req -new -key '" + ServiceDataPath("client.pem") + "' -subj '" + subject +
               "' -md5 -outform DER | openssl base64 -A",
           &text);
  return text;
}

class EnrolmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitialiseLibrary();
    keyFile_ = dir_.Path("ca.kyr");
    ASSERT_TRUE(WriteKeyRing(keyFile_, {{"root", true, true}}));
    spkac_ = MakeSpkac();
    ASSERT_FALSE(spkac_.empty());
  }

  SecurityCmdContext ClientContext() const {
    SecurityCmdContext context{};
    context.country = "DE";
    context.org = "Service Tests";
    context.commonName = "Client One";
    context.requestText = spkac_.c_str();
    context.requestTextLength = static_cast<std::uint32_t>(spkac_.size());
    return context;
  }

  // The client request text of the signed key and challenge.
  std::string ClientRequest() {
    SecurityCmdContext client = ClientContext();
    HostRecord request;
    std::uint32_t error = 0;
    EXPECT_EQ(ProcessClientCertReq(&client, &request.cert, &error), 0);
    return TextOf(request.cert.reqText);
  }

  ScratchDir dir_;
  std::string keyFile_;
  std::string spkac_;
};

TEST_F(EnrolmentTest, SignedKeyAndChallengeBecomesACertificate) {
  SecurityCmdContext client = ClientContext();
  HostRecord request;
  std::uint32_t error = 0;
  ASSERT_EQ(ProcessClientCertReq(&client, &request.cert, &error), 0);
  EXPECT_EQ(error, 30044u);
  // The request is { 0, subject, the client's key }.
  CertFields fields{};
  ASSERT_EQ(ParseClientRequest(request.cert.der, &fields, &error), 0);
  EXPECT_EQ(BytesOf(fields.version), (Bytes{0x02, 0x01, 0x00}));
  EXPECT_EQ(BytesOf(fields.subjectPublicKeyInfo), PublicKeyInfoOf("client"));

  // The certificate text is the Base64 of the certificate, or with UsePKCS7
  // of the package that holds it.
  for (const std::int32_t usePkcs7 : {0, 1}) {
    SCOPED_TRACE(usePkcs7);
    SecurityCmdContext signer{};
    signer.keyFile = keyFile_.c_str();
    signer.password = kPassword;
    signer.validDays = 365;
    signer.clientCert = 1;
    signer.usePKCS7 = usePkcs7;
    HostRecord issued;
    SetText(&issued.cert.reqText, TextOf(request.cert.reqText));
    ASSERT_EQ(SignClientCert(&signer, &issued.cert, &error), 0) << error;
    EXPECT_EQ(error, 30040u);
    EXPECT_EQ(DecodeBase64(TextOf(issued.cert.certText)),
              BytesOf(usePkcs7 ? issued.cert.pkcs7 : issued.cert.der));
    CertFields issuedFields{};
    ASSERT_EQ(ParseCert(&issued.cert, &issuedFields, &error), 0);
    EXPECT_EQ(BytesOf(issuedFields.subjectPublicKeyInfo), PublicKeyInfoOf("client"));
  }
}

TEST_F(EnrolmentTest, CertFileReceivesTheRequestInCertificateArmour) {
  SecurityCmdContext client = ClientContext();
  const std::string path = dir_.Path("client.req");
  client.certFile = path.c_str();
  HostRecord request;
  std::uint32_t error = 0;
  ASSERT_EQ(ProcessClientCertReq(&client, &request.cert, &error), 0);
  EXPECT_EQ(request.cert.reqText.length, 0);
  const std::string text = ReadText(path);
  EXPECT_TRUE(text.starts_with("-----BEGIN CERTIFICATE-----\n")) << text;
  EXPECT_TRUE(text.ends_with("\n-----END CERTIFICATE-----")) << text;
}

TEST_F(EnrolmentTest, HostileClientRequestsAreRefused) {
  Bytes der = DecodeBase64(spkac_);
  ASSERT_GT(der.size(), 20u);
  Bytes badSignature = der;
  badSignature.at(badSignature.size() - 5) ^= 0x01;
  Bytes trailing = der;
  trailing.push_back(0x00);
  Bytes otherChallengeType = der;
  // The IA5String challenge "hello" as a UTF8String: the shape is wrong.
  for (std::size_t i = 0; i + 6 < otherChallengeType.size(); ++i) {
    if (otherChallengeType[i] == 0x16 && otherChallengeType[i + 1] == 0x05 &&
        otherChallengeType[i + 2] == 'h') {
      otherChallengeType[i] = 0x0C;
      break;
    }
  }
  struct Case {
    const char* why;
    std::string text;
    const char* commonName;
    std::uint32_t message;
  };
  const Case kTests[] = {
      // The text is not Base64 at all.
      {"not base64", "not base64!", "Client", 30043},
      // Nothing sensible to decode.
      {"empty text", "", "Client", 30043},
      // Base64 of something that is not a signed structure.
      {"no structure", "AAAA", "Client", 30041},
      // A changed signature must not verify with the carried key.
      {"bad signature", Base64Of(badSignature), "Client", 30055},
      // Bytes after the signed element: the input is not one structure.
      {"trailing bytes", Base64Of(trailing), "Client", 30041},
      // The challenge must be an IA5String.
      {"challenge type", Base64Of(otherChallengeType), "Client", 30041},
      // The subject needs a common name before anything is decoded.
      {"no common name", spkac_, nullptr, 30061},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    SecurityCmdContext client = ClientContext();
    client.commonName = test.commonName;
    client.requestText = test.text.c_str();
    client.requestTextLength = static_cast<std::uint32_t>(test.text.size());
    HostRecord request;
    std::uint32_t error = 0;
    EXPECT_EQ(ProcessClientCertReq(&client, &request.cert, &error), -1);
    EXPECT_EQ(error, test.message);
    EXPECT_EQ(request.cert.reqText.length, 0);
  }
}

TEST_F(EnrolmentTest, SignClientCertRefusesWhatItCannotSign) {
  const std::string requestText = ClientRequest();
  const std::string noRootRing = dir_.Path("noroot.kyr");
  ASSERT_TRUE(WriteKeyRing(noRootRing, {{"root", true, false}}));
  struct Case {
    const char* why;
    const char* keyFile;
    const char* password;
    std::int32_t validDays;
    std::int32_t clientCert;
    std::uint32_t message;
  };
  const Case kTests[] = {
      {"wrong password", keyFile_.c_str(), "wrong", 365, 1, 30009},
      {"no signing root in the key ring", noRootRing.c_str(), kPassword, 365, 1, 30035},
      // A client request is not a PKCS #10 request: without ClientCert it
      // is read as one and refused.
      {"client request read as PKCS #10", keyFile_.c_str(), kPassword, 365, 0, 30045},
      // Days beyond the range of the SignCert command would overflow.
      {"negative validity", keyFile_.c_str(), kPassword, -1, 1, 30005},
      {"validity too long", keyFile_.c_str(), kPassword, 10001, 1, 30005},
      // Longer than the root's own certificate.
      {"outlives the signer", keyFile_.c_str(), kPassword, 10000, 1, 30075},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    SecurityCmdContext signer{};
    signer.keyFile = test.keyFile;
    signer.password = test.password;
    signer.validDays = test.validDays;
    signer.clientCert = test.clientCert;
    HostRecord issued;
    SetText(&issued.cert.reqText, requestText);
    std::uint32_t error = 0;
    EXPECT_NE(SignClientCert(&signer, &issued.cert, &error), 0);
    EXPECT_EQ(error, test.message);
    EXPECT_EQ(issued.cert.certText.length, 0);
  }
}

// The signing key is read under the key ring's file lock like every
// command's: another process replaces the ring and its stash file one after
// the other, and a reader in between would pair the two wrongly.
TEST_F(EnrolmentTest, SignClientCertWaitsForTheKeyRingLock) {
  SecurityCmdContext signer{};
  signer.keyFile = keyFile_.c_str();
  signer.password = kPassword;
  signer.validDays = 30;
  signer.clientCert = 1;
  HostRecord issued;
  SetText(&issued.cert.reqText, ClientRequest());
  std::uint32_t error = 0;
  std::optional<KeyRingFileLock> writer(std::in_place, keyFile_);
  ASSERT_TRUE(writer->Held());
  auto signing = std::async(std::launch::async,
                            [&] { return SignClientCert(&signer, &issued.cert, &error); });
  EXPECT_EQ(signing.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  writer.reset();
  EXPECT_EQ(signing.get(), 0);
  EXPECT_EQ(error, 30040u);
}

TEST_F(EnrolmentTest, SignCertificateCopiesOnlyWhatFitsAndReportsFailures) {
  const std::string request = OpensslRequest("/CN=Size Client");
  Bytes tampered = DecodeBase64(request);
  tampered[tampered.size() - 3] ^= 0x01;
  const std::string good = "KeyFile=" + keyFile_ + ";Password=" + kPassword;
  // The parameter text may be read-only memory: it is not changed.
  char output[4096];
  char message[256];
  ASSERT_EQ(SignCertificate(good.c_str(), request.c_str(), output, sizeof output, message, sizeof message), 0)
      << message;
  const std::uint32_t length = static_cast<std::uint32_t>(std::strlen(output));
  ASSERT_GT(length, 0u);
  struct Case {
    const char* why;
    std::string parameters;
    std::string request;
    std::uint32_t size;
    std::uint32_t message;
    bool copied;
  };
  const Case kTests[] = {
      {"room for the text and its NUL", "KeyFile=" + keyFile_ + ";UseStash", request, length + 1, 30040, true},
      {"exactly the text's length: no room for the NUL", good, request, length, 30040, false},
      {"no output at all", good, request, 0, 30040, false},
      // There is no default key file for this service.
      {"no key file", std::string("Password=") + kPassword, request, sizeof output, 30004, false},
      {"no password", "KeyFile=" + keyFile_, request, sizeof output, 30003, false},
      {"not base64", good, "%%%", sizeof output, 30043, false},
      {"request signature does not verify", good, Base64Of(tampered), sizeof output, 30055, false},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    std::memset(output, 'X', sizeof output);
    EXPECT_EQ(SignCertificate(test.parameters.c_str(), test.request.c_str(), output, test.size, message,
                              sizeof message) == 0,
              test.message == 30040);
    EXPECT_TRUE(HoldsMessage(message, test.message)) << message;
    if (test.copied) {
      EXPECT_EQ(std::strlen(output), length);
    } else {
      EXPECT_EQ(output[0], 'X');
    }
  }
}

TEST_F(EnrolmentTest, ParseCertReqReadsAndVerifiesARequest) {
  HostRecord record;
  SetText(&record.cert.reqText, OpensslRequest("/O=Parsed Org/CN=Parsed Client"));
  CertFields fields{};
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCertReq(&record.cert, &fields, &error), 0) << error;
  EXPECT_EQ(BytesOf(fields.subjectPublicKeyInfo), PublicKeyInfoOf("client"));
  DnFields name{};
  ASSERT_EQ(ParseDNSeq(&name, fields.subject, &error), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(name.slot[DN_COMMON_NAME].value),
                        name.slot[DN_COMMON_NAME].length),
            "Parsed Client");

  HostRecord broken;
  SetText(&broken.cert.reqText, "****");
  EXPECT_NE(ParseCertReq(&broken.cert, &fields, &error), 0);
  EXPECT_EQ(error, 30043u);
}

// A record that ParseCert took out of a PKCS #7 package, handed on by the
// host: the decoded request replaces the package, which is released, and
// no container stays behind to shadow (and leak) the request.
TEST_F(EnrolmentTest, ParseCertReqReplacesAnUnwrappedPackage) {
  HostRecord record;
  SetText(&record.cert.der, ReadText(ServiceDataPath("root.der")));
  ASSERT_EQ(PackagePKCS7Cert(&record.cert), 0);
  std::swap(record.cert.der, record.cert.pkcs7);
  CertFields fields{};
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&record.cert, &fields, &error), 0);
  ASSERT_NE(record.cert.container.data, nullptr);
  SetText(&record.cert.reqText, OpensslRequest("/CN=Reused Record"));
  ASSERT_EQ(ParseCertReq(&record.cert, &fields, &error), 0) << error;
  EXPECT_EQ(record.cert.container.data, nullptr);
  EXPECT_EQ(record.cert.setRemaining, 0);
  EXPECT_EQ(BytesOf(fields.subjectPublicKeyInfo), PublicKeyInfoOf("client"));
}

}  // namespace
}  // namespace kcertadm::test
