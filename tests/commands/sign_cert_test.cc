// SignCert and CreateCertReq through the command entry: requests made here
// and signed here, in both request forms.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "armour/pem.h"
#include "command_test_util.h"
#include "host_interface/messages.h"
#include "keyring/certificate_parts.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

struct Names {
  Bytes issuer;
  Bytes subject;
  Bytes publicKey;
};

Names NamesOf(const Bytes& certificate) {
  Names names;
  Bytes tbs;
  EXPECT_EQ(CertificateParts(certificate, &tbs, nullptr, nullptr), 0);
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsIssuer] = &names.issuer;
  fields[kTbsSubject] = &names.subject;
  fields[kTbsSubjectPublicKeyInfo] = &names.publicKey;
  EXPECT_EQ(TbsCertificateFields(tbs, fields), 0);
  return names;
}

// The octets of the Base64 lines of an armoured file.
Bytes DecodeArmour(const std::string& path) {
  const std::string text = ReadFileText(path);
  CertData cert{};
  cert.fileText = Asn1Item{reinterpret_cast<std::uint8_t*>(const_cast<char*>(text.data())),
                           static_cast<std::int32_t>(text.size())};
  std::uint32_t error = 0;
  Bytes der;
  if (ParseCertificateText(&cert, true, &error) == 0) der.assign(cert.der.data, cert.der.data + cert.der.length);
  std::free(cert.der.data);
  std::free(cert.reqText.data);
  return der;
}

// The Base64 lines of an armoured file, each led by a blank.
std::string IndentedBody(const std::string& path) {
  const std::string text = ReadFileText(path);
  std::string body;
  for (std::size_t i = text.find('\n') + 1; i < text.size() && text[i] != '-'; i = text.find('\n', i) + 1) {
    body += " " + text.substr(i, text.find('\n', i) - i + 1);
  }
  return body;
}

TEST(SignCert, IssuesForThePkcs10RequestUnderTheCaName) {
  CaAndServer env;
  const std::string out = env.dir / "server.crt";
  const Outcome signedCert = env.Sign(out);
  ASSERT_EQ(signedCert.status, 0);
  EXPECT_EQ(signedCert.message, kMsgCertSigned);
  EXPECT_TRUE(ReadFileText(out).starts_with("-----BEGIN CERTIFICATE-----\n"));

  const Names issued = NamesOf(CertificateDerOfFile(out));
  std::optional<KeyRingEntry> server = EntryOf(env.Server(), "server");
  ASSERT_TRUE(server);
  EXPECT_EQ(issued.issuer, NamesOf(CertificateDerOfFile(env.CaCert())).subject);
  EXPECT_EQ(issued.subject, server->subjectName);
  EXPECT_EQ(issued.publicKey, server->publicKey);
  EXPECT_EQ(env.Sign(env.dir / "zero.crt", "ValidDays=0").message, kMsgCertSigned);
}

TEST(SignCert, PemRequestGetsPemReply) {
  CaAndServer env(true);
  const std::string request = ReadFileText(env.Request());
  EXPECT_NE(request.find("Proc-Type: 4,MIC-ONLY\n"), std::string::npos);
  EXPECT_NE(request.find("\nVGhpcyBpcyBhbiBSRkMtMTQyNCBDU1IuCg==\n"), std::string::npos)
      << "the body is the single line \"This is an RFC-1424 CSR.\"";

  const std::string reply = env.dir / "server.reply";
  ASSERT_EQ(env.Sign(reply).message, kMsgCertSigned);
  const std::string text = ReadFileText(reply);
  EXPECT_TRUE(text.starts_with("-----BEGIN PRIVACY-ENHANCED MESSAGE-----\nProc-Type: 4,MIC-ONLY\n"
                               "Content-Domain:  RFC822\nOriginator-Certificate:\n"));
  EXPECT_TRUE(text.ends_with("VGhpcyBpcyBhbiBSRkMtMTQyNCBDU1IuCg==\n-----END PRIVACY-ENHANCED MESSAGE-----\n"));
  // The CA's certificate follows as the issuer's, on lines led by a blank.
  EXPECT_NE(text.find("Issuer-Certificate:\n" + IndentedBody(env.CaCert()) + "MIC-Info: "), std::string::npos);
  EXPECT_EQ(NamesOf(CertificateDerOfFile(reply)).subject, EntryOf(env.Server(), "server")->subjectName);
}

TEST(SignCert, Refusals) {
  CaAndServer env;
  CaAndServer pemEnv(true);
  const std::string out = env.dir / "out.crt";
  std::string tampered = ReadFileText(env.Request());
  char& inSignature = tampered[tampered.find("\n-----END") - 10];
  inSignature = inSignature == 'A' ? 'B' : 'A';
  const std::string badSignature = env.dir / "badsig.arm";
  WriteFileText(badSignature, tampered);
  std::string pemText = ReadFileText(pemEnv.Request());
  const std::size_t body = pemText.find("VGhpcyBp");
  ASSERT_NE(body, std::string::npos);
  pemText.replace(body, 8, "VGhhdCBp");  // "This i" becomes "That i"
  const std::string badMic = pemEnv.dir / "badmic.pem";
  WriteFileText(badMic, pemText);
  const std::string plainCa = env.dir / "plain.kyr";
  ASSERT_EQ(RunCommand("CreateSelfSigned", Ring(plainCa, "KeyName=CA;CommonName=Plain")).status, 0);

  auto sign = [&](const std::string& ca, const std::string& request, const std::string& more = "") {
    return Ring(ca, "CertReqFile=" + request + ";CertFile=" + out + more);
  };
  ExpectRefusals(
      "SignCert",
      {
          {"no request file", Ring(env.Ca(), "CertFile=" + out), kMsgNoRequestFile},
          {"no output file", Ring(env.Ca(), "CertReqFile=" + env.Request()), kMsgNoCertFile},
          {"output is the key ring", Ring(env.Ca(), "CertReqFile=" + env.Request() + ";CertFile=" + env.Ca()),
           kMsgCertFileCreateFailed},
          {"output is the request",
           Ring(env.Ca(), "CertReqFile=" + env.Request() + ";CertFile=" + env.Request()),
           kMsgCertFileCreateFailed},
          {"request is the key ring", sign(env.Ca(), env.Ca()), kMsgRequestFileIsKeyFile},
          {"signer not a trusted root", sign(plainCa, env.Request()), kMsgNoSigner},
          {"period beyond the CA's", sign(env.Ca(), env.Request(), ";ValidDays=400"), kMsgValidityTimeFailed},
          {"request signature wrong", sign(env.Ca(), badSignature), kMsgBadSignature},
          {"PEM request with a wrong MIC", sign(env.Ca(), badMic), kMsgPemDecodeFailed},
          {"PEM request with UseBER", sign(env.Ca(), pemEnv.Request(), ";UseBER"), kMsgDecodeFailed},
      },
      {env.Ca(), env.Request()});
}

TEST(CreateCertReq, RequestsForKeysTheKeyRingHolds) {
  CaAndServer env;
  auto request = [&](const std::string& more, const std::string& out) {
    return RunCommand("CreateCertReq", Ring(env.Server(), more + "CertReqFile=" + out));
  };
  auto sign = [&](const std::string& in) {
    return RunCommand("SignCert", Ring(env.Ca(), "CertReqFile=" + in + ";CertFile=" + (env.dir / "a.crt")));
  };
  const auto before = ReadFileBytes(env.Server());
  const Outcome made = request("KeyName=server;", env.dir / "again.arm");
  ASSERT_EQ(made.status, 0);
  EXPECT_EQ(made.message, kMsgCertReqCreated);
  EXPECT_EQ(ReadFileBytes(env.Server()), before) << "the key ring is only read";
  EXPECT_EQ(sign(env.dir / "again.arm").message, kMsgCertSigned);
  ASSERT_EQ(request("KeyName=server;UsePEM;", env.dir / "again.pem").status, 0);
  EXPECT_EQ(sign(env.dir / "again.pem").message, kMsgCertSigned);

  // The self-signed form: a certificate of the key's own name.
  ASSERT_EQ(request("KeyName=server;SelfSigned;", env.dir / "self.arm").status, 0);
  const Names names = NamesOf(DecodeArmour(env.dir / "self.arm"));
  EXPECT_EQ(names.issuer, names.subject);
  EXPECT_EQ(names.subject, EntryOf(env.Server(), "server")->subjectName);

  // The default key entry is the first with a private key and a certificate.
  EXPECT_EQ(RunCommand("CreateCertReq", Ring(env.Ca(), "CertReqFile=" + (env.dir / "ca.req"))).message,
            kMsgCertReqCreated);
}

TEST(CreateCertReq, Refusals) {
  CaAndServer env;
  ASSERT_EQ(RunCommand("ReceiveRootCert", Ring(env.Server(), "CertReqFile=" + env.CaCert() + ";EntryLabel=CA"))
                .status,
            0);
  const std::string out = env.dir / "out.arm";
  ExpectRefusals(
      "CreateCertReq",
      {
          {"no request file", Ring(env.Server(), "KeyName=server"), kMsgNoRequestFile},
          {"request file is the stash", Ring(env.Server(), "KeyName=server;CertReqFile=" + (env.dir / "server.sth")),
           kMsgRequestFileIsKeyFile},
          {"no default key entry", Ring(env.Server(), "CertReqFile=" + out), kMsgNoPrivateKeyEntry},
          {"entry without private key", Ring(env.Server(), "KeyName=CA;CertReqFile=" + out), kMsgNoPrivateKeyEntry},
          {"no such entry", Ring(env.Server(), "KeyName=nobody;CertReqFile=" + out), kMsgNoPrivateKeyEntry},
          {"directory missing", Ring(env.Server(), "KeyName=server;CertReqFile=" + (env.dir / "no/such.arm")),
           kMsgRequestFileCreateFailed},
      },
      {env.Server(), env.dir / "server.sth"});
}

}  // namespace
}  // namespace kcertadm
