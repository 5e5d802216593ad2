// ReceiveCert and ReceiveRootCert through the command entry.
#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

class ReceiveCertTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(env_.Sign(issued_), Ok(kMsgCertSigned)); }
  Outcome Receive(const std::string& command, const std::string& file,
                  const std::string& more = "") {
    return RunCommand(command, Ring(env_.Server(), "CertReqFile=" + file + more));
  }

  CaAndServer env_;
  std::string issued_ = env_.dir / "server.crt";
};

TEST_F(ReceiveCertTest, RootThenIssuedCertificate) {
  // The issuer must be trusted, unless NoTrust.
  EXPECT_EQ(Receive("ReceiveCert", issued_).message, kMsgIssuerNotFound);
  EXPECT_EQ(Receive("ReceiveCert", issued_, ";NoTrust"), Ok(kMsgCertReceived));
  // A DER root is read with UseBER only.
  const Bytes der = CertificateDerOfFile(env_.CaCert());
  WriteFileText(env_.dir / "ca.der", std::string(der.begin(), der.end()));
  EXPECT_EQ(Receive("ReceiveRootCert", env_.dir / "ca.der", ";EntryLabel=CA").message,
            kMsgDecodeFailed);
  EXPECT_EQ(Receive("ReceiveRootCert", env_.dir / "ca.der", ";EntryLabel=CA;UseBER"),
            Ok(kMsgRootCertReceived));
  std::optional<KeyRingEntry> ca = EntryOf(env_.Server(), "CA");
  ASSERT_TRUE(ca);
  EXPECT_TRUE(ca->IsTrustedRoot());
  EXPECT_FALSE(ca->HasPrivateKey());
  EXPECT_EQ(Receive("ReceiveCert", issued_), Ok(kMsgCertReceived));
  std::optional<KeyRingEntry> server = EntryOf(env_.Server(), "server");
  ASSERT_TRUE(server);
  EXPECT_TRUE(server->HasPrivateKey());
  EXPECT_EQ(server->certificates, CertificateDerOfFile(issued_)) << "stored in the key's own entry";
}

// Roots public authorities use today (SHA-256; 4096 and 2048-bit keys), from the system's
// certificate store, and an 8192-bit SHA-512 root openssl made (valid for 100 years).
TEST_F(ReceiveCertTest, TodaysPublicRoots) {
  for (const std::string name : {"ISRG_Root_X1", "DigiCert_Global_Root_G2", "rsa8192_sha512"}) {
    SCOPED_TRACE(name);
    const std::string root = KCERTADM_TEST_DATA_DIR "/roots/" + name + ".pem";
    EXPECT_EQ(Receive("ReceiveRootCert", root, ";EntryLabel=" + name), Ok(kMsgRootCertReceived));
    EXPECT_TRUE(EntryOf(env_.Server(), name)->IsTrustedRoot());
    EXPECT_EQ(RunCommand("ViewCert",
                         "CertReqFile=" + root + ";EntriesFile=" + env_.dir / "view.txt;Verify"),
              Ok(kMsgCertWritten));
  }
  EXPECT_EQ(
      RunCommand("GetEntries", Ring(env_.Server(), "EntriesFile=" + env_.dir / "list.txt;Verify")),
      Ok(kMsgEntriesListed));
}

TEST_F(ReceiveCertTest, RefusalsLeaveKeyRingAsItWas) {
  ASSERT_EQ(Receive("ReceiveRootCert", env_.CaCert(), ";EntryLabel=CA").status, 0);
  const std::string otherCa = env_.dir / "other.kyr", otherCert = env_.dir / "other.arm";
  MakeRootKeyRing(otherCa, "Other CA");
  ASSERT_EQ(RunCommand("ExtractCert", Ring(otherCa, "CertFile=" + otherCert)).message,
            kMsgCertWritten);
  const std::string garbage = env_.dir.Write(
      "garbage.arm", "-----BEGIN CERTIFICATE-----\nnot base64!\n-----END CERTIFICATE-----\n");
  const std::string notCert = env_.dir.Write("notcert.arm", "AQgP\n");
  auto in = [&](const std::string& file, const std::string& more = "") {
    return Ring(env_.Server(), "CertReqFile=" + file + more);
  };
  // NoTrust skips the issuer and the signature, never the dates.
  auto outside = [&](const char* name, const char* from, const char* to) {
    const Bytes key = Tlv(0x30, Cat({Tlv(0x02, {0x00, 0xC1}), Tlv(0x02, {0x03})}));
    const Bytes spki =
        Tlv(0x30,
            Cat({Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00"), Tlv(0x03, Cat({{0}, key}))}));
    const Bytes validity = Tlv(0x30, Cat({Tlv(0x17, test::Text(from)), Tlv(0x17, test::Text(to))}));
    const std::string path = env_.dir / name;
    test_support::WriteFileBytes(
        path, test::Signed(Cat({Hex("02 01 01"), test::kMd5WithRsa, test::CnName("Old"), validity,
                                test::CnName("Old"), spki})));
    return in(path, ";UseBER;NoTrust;EntryLabel=dated");
  };
  ExpectRefusals(
      {
          {"ReceiveCert", "no input named", Ring(env_.Server()), kMsgNoRequestFile},
          {"ReceiveCert", "input is the key ring", in(env_.Server()), kMsgRequestFileIsKeyFile},
          {"ReceiveCert", "not Base64", in(garbage), kMsgDecodeFailed},
          {"ReceiveCert", "not a certificate", in(notCert), kMsgBadCertificate},
          {"ReceiveCert", "wrong password",
           "KeyFile=" + env_.Server() + ";Password=x;CertReqFile=" + issued_, kMsgBadPassword},
          {"ReceiveCert", "no entry holds the key and no label", in(otherCert),
           kMsgCertMatchesNoKey},
          {"ReceiveCert", "a key entry holds the key", in(issued_, ";EntryLabel=again"),
           kMsgPublicKeyInKeyEntry},
          {"ReceiveCert", "a certificate entry holds the key",
           in(env_.CaCert(), ";EntryLabel=again"), kMsgPublicKeyInEntry},
          {"ReceiveCert", "the label is taken", in(otherCert, ";EntryLabel=server"),
           kMsgLabelExists},
          {"ReceiveCert", "expired, with NoTrust",
           outside("old.der", "010101000000Z", "020101000000Z"), kMsgCertExpired},
          {"ReceiveCert", "not yet valid, with NoTrust",
           outside("new.der", "400101000000Z", "410101000000Z"), kMsgCertNotYetValid},
          // A root matches no key of the key ring: it needs a label.
          {"ReceiveRootCert", "a root without label", in(otherCert), kMsgCertMatchesNoKey},
      },
      {env_.Server()});
  EXPECT_EQ(Receive("ReceiveCert", otherCert, ";EntryLabel=Other").message, kMsgCertReceived);
  EXPECT_TRUE(EntryOf(env_.Server(), "Other"));
}

}  // namespace
}  // namespace kcertadm
