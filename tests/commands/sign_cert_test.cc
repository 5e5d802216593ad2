// SignCert and CreateCertReq through the command entry: requests made here
// and signed here, in both request forms.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "armour/pem.h"
#include "command_test_util.h"
#include "host_interface/messages.h"
#include "keyring/certificate_parts.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

using cmdtest::CaAndServer;
using cmdtest::CertificateDerOfFile;
using cmdtest::Outcome;
using cmdtest::ReadFileBytes;
using cmdtest::ReadFileText;
using cmdtest::Ring;
using cmdtest::RunCommand;
using cmdtest::WriteFileText;

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

std::optional<KeyRingEntry> EntryOf(const std::string& keyFile, const std::string& label) {
  if (KeyRingOpen(keyFile, "secret") != 0) return std::nullopt;
  return KeyRingFindEntry(std::string_view(label));
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

std::string Base64Of(const Bytes& der) {
  Asn1Item text{nullptr, 0};
  EXPECT_GT(Base64Encode(der.data(), static_cast<std::int32_t>(der.size()), &text), 0);
  std::string out(reinterpret_cast<char*>(text.data), static_cast<std::size_t>(text.length));
  std::free(text.data);
  return out;
}

TEST(SignCert, IssuesForThePkcs10RequestUnderTheCaName) {
  CaAndServer env;
  const std::string out = env.dir / "server.crt";
  const Outcome signedCert = env.Sign(out);
  ASSERT_EQ(signedCert.status, 0);
  EXPECT_EQ(signedCert.message, kMsgCertSigned);
  const std::string text = ReadFileText(out);
  EXPECT_TRUE(text.starts_with("-----BEGIN CERTIFICATE-----\n"));

  const Names issued = NamesOf(CertificateDerOfFile(out));
  const Names ca = NamesOf(CertificateDerOfFile(env.CaCert()));
  std::optional<KeyRingEntry> server = EntryOf(env.Server(), "server");
  ASSERT_TRUE(server);
  EXPECT_EQ(issued.issuer, ca.subject);
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
  const std::size_t issuer = text.find("Issuer-Certificate:\n");
  ASSERT_NE(issuer, std::string::npos);
  std::string caLines;
  for (std::size_t i = text.find('\n', issuer) + 1; text[i] == ' '; i = text.find('\n', i) + 1) {
    caLines += text.substr(i + 1, text.find('\n', i) - i - 1);
  }
  EXPECT_EQ(caLines, Base64Of(CertificateDerOfFile(env.CaCert())));
  EXPECT_EQ(NamesOf(CertificateDerOfFile(reply)).subject, EntryOf(env.Server(), "server")->subjectName);
}

TEST(SignCert, Refusals) {
  CaAndServer env;
  CaAndServer pemEnv(true);
  const std::string out = env.dir / "out.crt";
  const std::string garbage = env.dir / "garbage.arm";
  WriteFileText(garbage, "-----BEGIN NEW CERTIFICATE REQUEST-----\n*\n-----END NEW CERTIFICATE REQUEST-----");
  Bytes tampered = DecodeArmour(env.Request());
  ASSERT_FALSE(tampered.empty());
  tampered.back() ^= 0x01;  // the last octet of the signature
  const std::string badSignature = env.dir / "badsig.arm";
  WriteFileText(badSignature, Base64Of(tampered));
  std::string pemText = ReadFileText(pemEnv.Request());
  const std::size_t body = pemText.find("VGhpcyBp");
  ASSERT_NE(body, std::string::npos);
  pemText.replace(body, 8, "VGhhdCBp");  // "This i" becomes "That i"
  const std::string badMic = pemEnv.dir / "badmic.pem";
  WriteFileText(badMic, pemText);
  const std::string plainCa = env.dir / "plain.kyr";
  ASSERT_EQ(RunCommand("CreateSelfSigned", Ring(plainCa, "KeyName=CA;CommonName=Plain")).status, 0);

  const auto caBefore = ReadFileBytes(env.Ca());
  const auto requestBefore = ReadFileBytes(env.Request());
  struct Case {
    const char* why;
    std::string parameters;
    std::uint32_t message;
  } const kTests[] = {
      {"no request file", Ring(env.Ca(), "CertFile=" + out), kMsgNoRequestFile},
      {"no output file", Ring(env.Ca(), "CertReqFile=" + env.Request()), kMsgNoCertFile},
      {"output is the key ring", Ring(env.Ca(), "CertReqFile=" + env.Request() + ";CertFile=" + env.Ca()),
       kMsgCertFileCreateFailed},
      {"output is the request", Ring(env.Ca(), "CertReqFile=" + env.Request() + ";CertFile=" + env.Request()),
       kMsgCertFileCreateFailed},
      {"request is the key ring", Ring(env.Ca(), "CertReqFile=" + env.Ca() + ";CertFile=" + out),
       kMsgRequestFileIsKeyFile},
      {"signer not a trusted root", Ring(plainCa, "CertReqFile=" + env.Request() + ";CertFile=" + out),
       kMsgNoSigner},
      {"valid days beyond the limit", Ring(env.Ca(), "CertReqFile=" + env.Request() + ";CertFile=" + out +
                                                          ";ValidDays=10001"),
       kMsgBadValidDays},
      {"period beyond the CA's", Ring(env.Ca(), "CertReqFile=" + env.Request() + ";CertFile=" + out +
                                                     ";ValidDays=400"),
       kMsgValidityTimeFailed},
      {"request not Base64", Ring(env.Ca(), "CertReqFile=" + garbage + ";CertFile=" + out), kMsgDecodeFailed},
      {"request signature wrong", Ring(env.Ca(), "CertReqFile=" + badSignature + ";CertFile=" + out),
       kMsgBadSignature},
      {"PEM request with a wrong MIC", Ring(env.Ca(), "CertReqFile=" + badMic + ";CertFile=" + out),
       kMsgPemDecodeFailed},
      {"PEM request with UseBER", Ring(env.Ca(), "CertReqFile=" + pemEnv.Request() + ";CertFile=" + out +
                                                      ";UseBER"),
       kMsgDecodeFailed},
      {"wrong password", "KeyFile=" + env.Ca() + ";Password=x;CertReqFile=" + env.Request() + ";CertFile=" + out,
       kMsgBadPassword},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    const Outcome refused = RunCommand("SignCert", c.parameters);
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.message, c.message);
    EXPECT_EQ(ReadFileBytes(env.Ca()), caBefore);
    EXPECT_EQ(ReadFileBytes(env.Request()), requestBefore);
  }
}

TEST(CreateCertReq, RequestsForKeysTheKeyRingHolds) {
  CaAndServer env;
  const std::string request = env.dir / "again.arm";
  const auto before = ReadFileBytes(env.Server());
  const Outcome made = RunCommand("CreateCertReq", Ring(env.Server(), "KeyName=server;CertReqFile=" + request));
  ASSERT_EQ(made.status, 0);
  EXPECT_EQ(made.message, kMsgCertReqCreated);
  EXPECT_EQ(ReadFileBytes(env.Server()), before) << "the key ring is only read";
  EXPECT_TRUE(ReadFileText(request).starts_with("-----BEGIN NEW CERTIFICATE REQUEST-----\n"));
  EXPECT_EQ(RunCommand("SignCert", Ring(env.Ca(), "CertReqFile=" + request + ";CertFile=" + (env.dir / "a.crt")))
                .message,
            kMsgCertSigned);

  // The self-signed form: a certificate of the key's own name.
  const std::string selfSigned = env.dir / "self.arm";
  ASSERT_EQ(RunCommand("CreateCertReq", Ring(env.Server(), "KeyName=server;SelfSigned;CertReqFile=" + selfSigned))
                .status,
            0);
  const Names names = NamesOf(DecodeArmour(selfSigned));
  EXPECT_EQ(names.issuer, names.subject);
  EXPECT_EQ(names.subject, EntryOf(env.Server(), "server")->subjectName);

  // The PEM form is signed by the CA as well.
  const std::string pem = env.dir / "again.pem";
  ASSERT_EQ(RunCommand("CreateCertReq", Ring(env.Server(), "KeyName=server;UsePEM;CertReqFile=" + pem)).status, 0);
  EXPECT_EQ(RunCommand("SignCert", Ring(env.Ca(), "CertReqFile=" + pem + ";CertFile=" + (env.dir / "b.crt"))).message,
            kMsgCertSigned);

  // The default key entry is the first with a private key and a certificate.
  EXPECT_EQ(RunCommand("CreateCertReq", Ring(env.Ca(), "CertReqFile=" + (env.dir / "ca.req"))).message,
            kMsgCertReqCreated);
}

TEST(CreateCertReq, Refusals) {
  CaAndServer env;
  ASSERT_EQ(RunCommand("ReceiveRootCert", Ring(env.Server(), "CertReqFile=" + env.CaCert() + ";EntryLabel=CA"))
                .status,
            0);
  const auto before = ReadFileBytes(env.Server());
  const std::string out = env.dir / "out.arm";
  struct Case {
    const char* why;
    std::string parameters;
    std::uint32_t message;
  } const kTests[] = {
      {"no request file", Ring(env.Server(), "KeyName=server"), kMsgNoRequestFile},
      {"request file is the key ring", Ring(env.Server(), "KeyName=server;CertReqFile=" + env.Server()),
       kMsgRequestFileIsKeyFile},
      {"request file is the stash", Ring(env.Server(), "KeyName=server;CertReqFile=" + (env.dir / "server.sth")),
       kMsgRequestFileIsKeyFile},
      {"no default key entry", Ring(env.Server(), "CertReqFile=" + out), kMsgNoPrivateKeyEntry},
      {"entry without private key", Ring(env.Server(), "KeyName=CA;CertReqFile=" + out), kMsgNoPrivateKeyEntry},
      {"no such entry", Ring(env.Server(), "KeyName=nobody;CertReqFile=" + out), kMsgNoPrivateKeyEntry},
      {"directory missing", Ring(env.Server(), "KeyName=server;CertReqFile=" + (env.dir / "no/such.arm")),
       kMsgRequestFileCreateFailed},
      {"wrong password", "KeyFile=" + env.Server() + ";Password=x;KeyName=server;CertReqFile=" + out,
       kMsgBadPassword},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    const Outcome refused = RunCommand("CreateCertReq", c.parameters);
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.message, c.message);
    EXPECT_EQ(ReadFileBytes(env.Server()), before);
  }
}

}  // namespace
}  // namespace kcertadm
