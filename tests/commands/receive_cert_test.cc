// ReceiveCert and ReceiveRootCert through the command entry.
#include <gtest/gtest.h>

#include "command_test_util.h"
#include "host_interface/messages.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

using cmdtest::CaAndServer;
using cmdtest::CertificateDerOfFile;
using cmdtest::Outcome;
using cmdtest::ReadFileBytes;
using cmdtest::Ring;
using cmdtest::RunCommand;
using cmdtest::WriteFileText;

Outcome Receive(const std::string& command, const std::string& keyFile, const std::string& file,
                const std::string& more = "") {
  return RunCommand(command, Ring(keyFile, "CertReqFile=" + file + (more.empty() ? "" : ";" + more)));
}

class ReceiveCertTest : public ::testing::Test {
 protected:
  // The server's certificate, issued by the CA, in server.crt.
  std::string Issued() {
    const std::string out = env_.dir / "server.crt";
    if (!cmdtest::FileExists(out)) EXPECT_EQ(env_.Sign(out).message, kMsgCertSigned);
    return out;
  }
  std::optional<KeyRingEntry> EntryOf(const std::string& keyFile, const std::string& label) {
    if (KeyRingOpen(keyFile, "secret") != 0) return std::nullopt;
    return KeyRingFindEntry(std::string_view(label));
  }

  CaAndServer env_;
};

TEST_F(ReceiveCertTest, RootThenIssuedCertificate) {
  const Outcome root = Receive("ReceiveRootCert", env_.Server(), env_.CaCert(), "EntryLabel=CA");
  ASSERT_EQ(root.status, 0);
  EXPECT_EQ(root.message, kMsgRootCertReceived);
  std::optional<KeyRingEntry> ca = EntryOf(env_.Server(), "CA");
  ASSERT_TRUE(ca);
  EXPECT_TRUE(ca->IsTrustedRoot());
  EXPECT_FALSE(ca->HasPrivateKey());

  const std::string issued = Issued();
  const Outcome received = Receive("ReceiveCert", env_.Server(), issued);
  ASSERT_EQ(received.status, 0);
  EXPECT_EQ(received.message, kMsgCertReceived);
  std::optional<KeyRingEntry> server = EntryOf(env_.Server(), "server");
  ASSERT_TRUE(server);
  EXPECT_TRUE(server->HasPrivateKey());
  EXPECT_EQ(server->certificates, CertificateDerOfFile(issued)) << "stored in the key's own entry";
}

TEST_F(ReceiveCertTest, IssuerMustBeTrustedUnlessNoTrust) {
  const std::string issued = Issued();
  const auto before = ReadFileBytes(env_.Server());
  EXPECT_EQ(Receive("ReceiveCert", env_.Server(), issued).message, kMsgIssuerNotFound);
  EXPECT_EQ(ReadFileBytes(env_.Server()), before);
  EXPECT_EQ(Receive("ReceiveCert", env_.Server(), issued, "NoTrust").message, kMsgCertReceived);
}

TEST_F(ReceiveCertTest, LabelRules) {
  ASSERT_EQ(Receive("ReceiveRootCert", env_.Server(), env_.CaCert(), "EntryLabel=CA").status, 0);
  const std::string issued = Issued();
  const std::string otherCa = env_.dir / "other.kyr";
  cmdtest::MakeRootKeyRing(otherCa, "Other CA");
  const std::string otherCert = env_.dir / "other.arm";
  ASSERT_EQ(RunCommand("ExtractCert", Ring(otherCa, "CertFile=" + otherCert)).message, kMsgCertWritten);

  const auto before = ReadFileBytes(env_.Server());
  struct Case {
    const char* why;
    std::string file;
    std::string more;
    std::uint32_t message;
  } const kTests[] = {
      {"no entry holds the key and no label", otherCert, "", kMsgCertMatchesNoKey},
      {"a key entry holds the key", issued, "EntryLabel=again", kMsgPublicKeyInKeyEntry},
      {"a certificate entry holds the key", env_.CaCert(), "EntryLabel=again", kMsgPublicKeyInEntry},
      {"the label is taken", otherCert, "EntryLabel=server", kMsgLabelExists},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    const Outcome refused = Receive("ReceiveCert", env_.Server(), c.file, c.more);
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.message, c.message);
    EXPECT_EQ(ReadFileBytes(env_.Server()), before);
  }
  EXPECT_EQ(Receive("ReceiveCert", env_.Server(), otherCert, "EntryLabel=Other").message,
            kMsgCertReceived);
  EXPECT_TRUE(EntryOf(env_.Server(), "Other"));
}

TEST_F(ReceiveCertTest, UnreadableInputLeavesKeyRingAsItWas) {
  const std::string garbage = env_.dir / "garbage.arm";
  WriteFileText(garbage, "-----BEGIN CERTIFICATE-----\nnot base64 at all!\n-----END CERTIFICATE-----\n");
  const std::string empty = env_.dir / "empty.arm";
  WriteFileText(empty, "");
  const std::string notCert = env_.dir / "notcert.arm";
  WriteFileText(notCert, "AQgP\n");
  const auto before = ReadFileBytes(env_.Server());
  struct Case {
    const char* why;
    std::string parameters;
    std::uint32_t message;
    const char* command = "ReceiveCert";
  } const kTests[] = {
      {"no input named", Ring(env_.Server()), kMsgNoRequestFile},
      {"input is the key ring", Ring(env_.Server(), "CertReqFile=" + env_.Server()), kMsgRequestFileIsKeyFile},
      {"input missing", Ring(env_.Server(), "CertReqFile=" + (env_.dir / "missing")), kMsgRequestFileOpenFailed},
      {"not Base64", Ring(env_.Server(), "CertReqFile=" + garbage), kMsgDecodeFailed},
      {"empty file", Ring(env_.Server(), "CertReqFile=" + empty), kMsgCertFileReadFailed},
      {"not a certificate", Ring(env_.Server(), "CertReqFile=" + notCert), kMsgBadCertificate},
      {"wrong password", "KeyFile=" + env_.Server() + ";Password=x;CertReqFile=" + env_.CaCert(),
       kMsgBadPassword},
      {"root without label", Ring(env_.Server(), "CertReqFile=" + env_.CaCert()), kMsgCertMatchesNoKey,
       "ReceiveRootCert"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    const Outcome refused = RunCommand(c.command, c.parameters);
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.message, c.message);
    EXPECT_EQ(ReadFileBytes(env_.Server()), before);
  }
}

TEST_F(ReceiveCertTest, DerInputWithUseBer) {
  const std::string der = env_.dir / "ca.der";
  const std::vector<std::uint8_t> bytes = CertificateDerOfFile(env_.CaCert());
  ASSERT_FALSE(bytes.empty());
  WriteFileText(der, std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(Receive("ReceiveRootCert", env_.Server(), der, "EntryLabel=CA").message, kMsgDecodeFailed);
  EXPECT_EQ(Receive("ReceiveRootCert", env_.Server(), der, "EntryLabel=CA;UseBER").message,
            kMsgRootCertReceived);
}

TEST(ReceivePemReply, ReplyToPemRequestIsReceived) {
  CaAndServer env(true);
  const std::string reply = env.dir / "server.reply";
  ASSERT_EQ(env.Sign(reply).message, kMsgCertSigned);
  ASSERT_EQ(Receive("ReceiveRootCert", env.Server(), env.CaCert(), "EntryLabel=CA").status, 0);
  const Outcome received = Receive("ReceiveCert", env.Server(), reply);
  ASSERT_EQ(received.status, 0);
  EXPECT_EQ(received.message, kMsgCertReceived);

  // Without the CA as a root, the PEM reader refuses the certificate.
  CaAndServer fresh(true);
  const std::string reply2 = fresh.dir / "server.reply";
  ASSERT_EQ(fresh.Sign(reply2).message, kMsgCertSigned);
  EXPECT_EQ(Receive("ReceiveCert", fresh.Server(), reply2).message, kMsgCertFileReadFailed);
}

}  // namespace
}  // namespace kcertadm
