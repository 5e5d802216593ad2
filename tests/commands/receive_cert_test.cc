// ReceiveCert and ReceiveRootCert through the command entry.
#include <gtest/gtest.h>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

Outcome Receive(const std::string& command, const std::string& keyFile, const std::string& file,
                const std::string& more = "") {
  return RunCommand(command, Ring(keyFile, "CertReqFile=" + file + (more.empty() ? "" : ";" + more)));
}

class ReceiveCertTest : public ::testing::Test {
 protected:
  // The server's certificate, issued by the CA, in server.crt.
  std::string Issued() {
    const std::string out = env_.dir / "server.crt";
    if (!FileExists(out)) {
      EXPECT_EQ(env_.Sign(out).message, kMsgCertSigned);
    }
    return out;
  }
  Outcome ReceiveRoot(const std::string& more = "EntryLabel=CA") {
    return Receive("ReceiveRootCert", env_.Server(), env_.CaCert(), more);
  }

  CaAndServer env_;
};

TEST_F(ReceiveCertTest, RootThenIssuedCertificate) {
  const Outcome root = ReceiveRoot();
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
  ASSERT_EQ(ReceiveRoot().status, 0);
  const std::string issued = Issued();
  const std::string otherCa = env_.dir / "other.kyr";
  MakeRootKeyRing(otherCa, "Other CA");
  const std::string otherCert = env_.dir / "other.arm";
  ASSERT_EQ(RunCommand("ExtractCert", Ring(otherCa, "CertFile=" + otherCert)).message, kMsgCertWritten);

  auto in = [&](const std::string& file, const std::string& more) {
    return Ring(env_.Server(), "CertReqFile=" + file + more);
  };
  ExpectRefusals("ReceiveCert",
                 {
                     {"no entry holds the key and no label", in(otherCert, ""), kMsgCertMatchesNoKey},
                     {"a key entry holds the key", in(issued, ";EntryLabel=again"), kMsgPublicKeyInKeyEntry},
                     {"a certificate entry holds the key", in(env_.CaCert(), ";EntryLabel=again"),
                      kMsgPublicKeyInEntry},
                     {"the label is taken", in(otherCert, ";EntryLabel=server"), kMsgLabelExists},
                 },
                 {env_.Server()});
  EXPECT_EQ(Receive("ReceiveCert", env_.Server(), otherCert, "EntryLabel=Other").message, kMsgCertReceived);
  EXPECT_TRUE(EntryOf(env_.Server(), "Other"));
}

TEST_F(ReceiveCertTest, UnreadableInputLeavesKeyRingAsItWas) {
  const std::string garbage = env_.dir / "garbage.arm";
  WriteFileText(garbage, "-----BEGIN CERTIFICATE-----\nnot base64 at all!\n-----END CERTIFICATE-----\n");
  const std::string notCert = env_.dir / "notcert.arm";
  WriteFileText(notCert, "AQgP\n");
  ExpectRefusals("ReceiveCert",
                 {
                     {"no input named", Ring(env_.Server()), kMsgNoRequestFile},
                     {"input is the key ring", Ring(env_.Server(), "CertReqFile=" + env_.Server()),
                      kMsgRequestFileIsKeyFile},
                     {"not Base64", Ring(env_.Server(), "CertReqFile=" + garbage), kMsgDecodeFailed},
                     {"not a certificate", Ring(env_.Server(), "CertReqFile=" + notCert), kMsgBadCertificate},
                     {"wrong password", "KeyFile=" + env_.Server() + ";Password=x;CertReqFile=" + env_.CaCert(),
                      kMsgBadPassword},
                 },
                 {env_.Server()});
  // A root needs a label: it matches no key of the key ring.
  EXPECT_EQ(ReceiveRoot("").message, kMsgCertMatchesNoKey);
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

TEST(ReceivePemReply, ReplyToPemRequestIsReceivedOnceTheCaIsARoot) {
  CaAndServer env(true);
  const std::string reply = env.dir / "server.reply";
  ASSERT_EQ(env.Sign(reply).message, kMsgCertSigned);
  // The PEM reader checks the reply's signature with a trusted root.
  EXPECT_EQ(Receive("ReceiveCert", env.Server(), reply).message, kMsgCertFileReadFailed);
  ASSERT_EQ(Receive("ReceiveRootCert", env.Server(), env.CaCert(), "EntryLabel=CA").status, 0);
  const Outcome received = Receive("ReceiveCert", env.Server(), reply);
  ASSERT_EQ(received.status, 0);
  EXPECT_EQ(received.message, kMsgCertReceived);
}

}  // namespace
}  // namespace kcertadm
