// SignCert and CreateCertReq through the command entry: requests made here and signed here, in both
// request forms.
#include "command_test_util.h"

#include <cstring>
#include <set>

namespace kcertadm {
namespace {

using namespace cmdtest;

// The name lines of the report ViewCert writes of a certificate file.
std::string NamesIn(const std::string& file) {
  EXPECT_EQ(RunCommand("ViewCert", "CertReqFile=" + file + ";EntriesFile=" + file + ".txt").message,
            kMsgCertWritten);
  const std::string report = ReadFileText(file + ".txt");
  return report.substr(0, report.find("StartDate: "));
}
constexpr char kServerName[] = "SubjectOrg: Example\nSubjectCommonName: www.example.com\n";
const std::string kSelfSignedNames =
    kServerName + std::string("IssuerOrg: Example\nIssuerCommonName: www.example.com\n");

TEST(SignCert, IssuesForThePkcs10RequestUnderTheCaName) {
  CaAndServer env;
  const std::string out = env.dir / "server.crt";
  EXPECT_EQ(env.Sign(out), Ok(kMsgCertSigned));
  // Its key is the server's: the receiving tests store it in the key's entry.
  EXPECT_EQ(
      NamesIn(out),
      kServerName + std::string("IssuerCountry: US\nIssuerOrg: Test\nIssuerCommonName: Test CA\n"));
  EXPECT_EQ(env.Sign(env.dir / "zero.crt", "ValidDays=0").message, kMsgCertSigned);
}

// A root and the certificates it issues within one second never share a serial: each is a positive
// INTEGER of 16 octets (02 10 4x..7x ...) from the random generator.
TEST(SignCert, SerialNumbersAreRandomAndNeverShared) {
  CaAndServer env;
  const std::string first = env.dir / "first.crt", second = env.dir / "second.crt";
  ASSERT_EQ(env.Sign(first), Ok(kMsgCertSigned));
  ASSERT_EQ(env.Sign(second), Ok(kMsgCertSigned));
  std::set<Bytes> serials;
  for (const std::string& file : {env.CaCert(), first, second}) {
    SCOPED_TRACE(file);
    const Bytes der = CertificateDerOfFile(file);
    CertData cert{};
    cert.der = ItemOf(der);
    CertFields fields;
    std::uint32_t error = 0;
    ASSERT_EQ(ParseCert(&cert, &fields, &error), 0);
    const Bytes serial = test_support::BytesOf(fields.serialNumber);
    ASSERT_EQ(serial.size(), 18u);
    EXPECT_EQ(serial[1], 0x10);
    EXPECT_EQ(serial[2] & 0xC0, 0x40);
    serials.insert(serial);
  }
  EXPECT_EQ(serials.size(), 3u);
}

TEST(SignCert, PemRequestGetsPemReplyTheServerReceives) {
  CaAndServer env(true);
  const std::string request = ReadFileText(env.Request());
  EXPECT_NE(request.find("Proc-Type: 4,MIC-ONLY\n"), std::string::npos);
  // The body is the single line "This is an RFC-1424 CSR."
  const std::string body = "VGhpcyBpcyBhbiBSRkMtMTQyNCBDU1IuCg==\n";
  EXPECT_NE(request.find("\n" + body), std::string::npos);
  EXPECT_EQ(NamesIn(env.Request()), kSelfSignedNames)
      << "ViewCert shows a PEM message's originator certificate";

  const std::string reply = env.dir / "server.reply";
  ASSERT_EQ(env.Sign(reply), Ok(kMsgCertSigned));
  const std::string text = ReadFileText(reply);
  EXPECT_TRUE(
      text.starts_with("-----BEGIN PRIVACY-ENHANCED MESSAGE-----\nProc-Type: 4,MIC-ONLY\n"
                       "Content-Domain:  RFC822\nOriginator-Certificate:\n"));
  EXPECT_TRUE(text.ends_with(body + "-----END PRIVACY-ENHANCED MESSAGE-----\n"));
  // The CA's certificate follows as the issuer's, on lines led by a blank.
  std::string caLines = ReadFileText(env.CaCert());
  caLines =
      caLines.substr(caLines.find('\n') + 1, caLines.rfind("\n-----END") - caLines.find('\n'));
  for (std::size_t at = 0; at < caLines.size(); at = caLines.find('\n', at) + 1)
    caLines.insert(at++, " ");
  EXPECT_NE(text.find("Issuer-Certificate:\n" + caLines + "MIC-Info: "), std::string::npos);
  EXPECT_EQ(
      NamesIn(reply),
      kServerName + std::string("IssuerCountry: US\nIssuerOrg: Test\nIssuerCommonName: Test CA\n"))
      << "ViewCert shows a reply's originator certificate, the one issued";

  // The reply is for the server's key; the PEM reader checks its signature with a trusted root.
  const std::string receive = Ring(env.Server(), "CertReqFile=" + reply);
  EXPECT_EQ(RunCommand("ReceiveCert", receive).message, kMsgCertFileReadFailed);
  ASSERT_EQ(
      RunCommand("ReceiveRootCert", Ring(env.Server(), "EntryLabel=CA;CertReqFile=" + env.CaCert()))
          .status,
      0);
  EXPECT_EQ(RunCommand("ReceiveCert", receive), Ok(kMsgCertReceived));
}

TEST(CreateCertReq, RequestsForKeysTheKeyRingHolds) {
  CaAndServer env;
  auto request = [&](const std::string& more, const std::string& out) {
    return RunCommand("CreateCertReq", Ring(env.Server(), more + "CertReqFile=" + out));
  };
  auto sign = [&](const std::string& in) {
    return RunCommand("SignCert",
                      Ring(env.Ca(), "CertReqFile=" + in + ";CertFile=" + (env.dir / "a.crt")));
  };
  const auto before = ReadFileBytes(env.Server());
  EXPECT_EQ(request("KeyName=server;", env.dir / "again.arm"), Ok(kMsgCertReqCreated));
  EXPECT_EQ(ReadFileBytes(env.Server()), before) << "the key ring is only read";
  EXPECT_EQ(sign(env.dir / "again.arm").message, kMsgCertSigned);
  ASSERT_EQ(request("KeyName=server;UsePEM;", env.dir / "again.pem").status, 0);
  EXPECT_EQ(sign(env.dir / "again.pem").message, kMsgCertSigned);
  // The self-signed form: a certificate of the key's own name, labelled as one.
  ASSERT_EQ(request("KeyName=server;SelfSigned;", env.dir / "self.arm").status, 0);
  std::string self = ReadFileText(env.dir / "self.arm");
  EXPECT_TRUE(self.starts_with("-----BEGIN CERTIFICATE-----\n") &&
              self.ends_with("\n-----END CERTIFICATE-----"));
  EXPECT_EQ(NamesIn(env.dir / "self.arm"), kSelfSignedNames);
  // Such files written before under the request label are still read.
  for (const std::string edge : {"-----BEGIN ", "-----END "})
    self.replace(self.find(edge), edge.size() + std::strlen("CERTIFICATE"),
                 edge + "NEW CERTIFICATE REQUEST");
  const std::string old = env.dir.Write("old.arm", self);
  EXPECT_EQ(NamesIn(old), kSelfSignedNames);
  EXPECT_EQ(RunCommand("ReceiveCert", Ring(env.Ca(), "EntryLabel=old;CertReqFile=" + old)),
            Ok(kMsgCertReceived));
  // The default key entry is the first with a private key and a certificate.
  EXPECT_EQ(
      RunCommand("CreateCertReq", Ring(env.Ca(), "CertReqFile=" + (env.dir / "ca.req"))).message,
      kMsgCertReqCreated);
}

TEST(SignCert, RefusalsOfBothCommands) {
  CaAndServer env;
  CaAndServer pemEnv(true);
  ASSERT_EQ(
      RunCommand("ReceiveRootCert", Ring(env.Server(), "EntryLabel=CA;CertReqFile=" + env.CaCert()))
          .status,
      0);
  const std::string out = env.dir / "out.crt";
  std::string tampered = ReadFileText(env.Request());
  char& inSignature = tampered[tampered.find("\n-----END") - 10];
  inSignature = inSignature == 'A' ? 'B' : 'A';
  const std::string badSignature = env.dir.Write("badsig.arm", tampered);
  std::string pemText = ReadFileText(pemEnv.Request());
  pemText.replace(pemText.find("VGhpcyBp"), 8, "VGhhdCBp");  // "This i" becomes "That i"
  const std::string badMic = env.dir.Write("badmic.pem", pemText);
  const std::string plainCa = env.dir / "plain.kyr";
  ASSERT_EQ(RunCommand("CreateSelfSigned", Ring(plainCa, "KeyName=CA;CommonName=Plain")).status, 0);

  auto sign = [&](const std::string& ca, const std::string& request, const std::string& more = "") {
    return Ring(ca, "CertReqFile=" + request + ";CertFile=" + out + more);
  };
  auto into = [&](const std::string& file) {
    return Ring(env.Ca(), "CertReqFile=" + env.Request() + ";CertFile=" + file);
  };
  auto req = [&](const std::string& more) { return Ring(env.Server(), more); };
  ExpectRefusals(
      {
          {"SignCert", "no request file", Ring(env.Ca(), "CertFile=" + out), kMsgNoRequestFile},
          {"SignCert", "no output file", Ring(env.Ca(), "CertReqFile=" + env.Request()),
           kMsgNoCertFile},
          {"SignCert", "output is the key ring", into(env.Ca()), kMsgCertFileCreateFailed},
          {"SignCert", "output is the request", into(env.Request()), kMsgCertFileCreateFailed},
          {"SignCert", "request is the key ring", sign(env.Ca(), env.Ca()),
           kMsgRequestFileIsKeyFile},
          {"SignCert", "signer not a trusted root", sign(plainCa, env.Request()), kMsgNoSigner},
          {"SignCert", "period beyond the CA's", sign(env.Ca(), env.Request(), ";ValidDays=400"),
           kMsgValidityTimeFailed},
          {"SignCert", "request signature wrong", sign(env.Ca(), badSignature), kMsgBadSignature},
          {"SignCert", "PEM request with a wrong MIC", sign(env.Ca(), badMic), kMsgPemDecodeFailed},
          {"SignCert", "PEM request with UseBER", sign(env.Ca(), pemEnv.Request(), ";UseBER"),
           kMsgDecodeFailed},
          {"CreateCertReq", "no request file", req("KeyName=server"), kMsgNoRequestFile},
          {"CreateCertReq", "request file is the stash",
           req("KeyName=server;CertReqFile=" + env.dir / "server.sth"), kMsgRequestFileIsKeyFile},
          {"CreateCertReq", "no default key entry", req("CertReqFile=" + out),
           kMsgNoPrivateKeyEntry},
          {"CreateCertReq", "entry without private key", req("KeyName=CA;CertReqFile=" + out),
           kMsgNoPrivateKeyEntry},
          {"CreateCertReq", "no such entry", req("KeyName=nobody;CertReqFile=" + out),
           kMsgNoPrivateKeyEntry},
          {"CreateCertReq", "directory missing",
           req("KeyName=server;CertReqFile=" + env.dir / "no/such.arm"),
           kMsgRequestFileCreateFailed},
      },
      {env.Ca(), env.Request(), env.Server(), env.dir / "server.sth"});
}

}  // namespace
}  // namespace kcertadm
