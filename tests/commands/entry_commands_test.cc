// DesignateRoot, DeleteEntry and ExtractCert through the command entry.
#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

class EntryCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunCommand("CreateSelfSigned", Ring(Key(), "KeyName=server;CommonName=s")).status, 0);
  }
  std::string Key() const { return dir_ / "ring.kyr"; }

  TempDir dir_;
};

TEST_F(EntryCommands, DesignateRootAndDeleteEntry) {
  EXPECT_EQ(RunCommand("DesignateRoot", Ring(Key(), "EntryLabel=server")), Ok(kMsgRootDesignated));
  EXPECT_TRUE(EntryOf(Key(), "server")->IsTrustedRoot());
  ASSERT_EQ(RunCommand("DesignateRoot", Ring(Key(), "KeyName=server;NoTrust")).status, 0);
  EXPECT_FALSE(EntryOf(Key(), "server")->IsTrustedRoot());
  EXPECT_EQ(RunCommand("DeleteEntry", Ring(Key(), "EntryLabel=server")), Ok(kMsgEntryDeleted));
  EXPECT_FALSE(EntryOf(Key(), "server"));
}

TEST_F(EntryCommands, RefusalsLeaveKeyRingAsItWas) {
  const std::string bare = dir_ / "bare.kyr";
  ASSERT_EQ(RunCommand("CreateKeyFile", Ring(bare, "KeyName=key;CommonName=k;NoStashFile")).status, 0);
  const std::string wrong = "KeyFile=" + Key() + ";Password=wrong;EntryLabel=server";
  ExpectRefusals(
      {
          {"DesignateRoot", "no label", Ring(Key()), kMsgNoLabel},
          {"DesignateRoot", "labels keep their case", Ring(Key(), "EntryLabel=Server"), kMsgNoSuchEntry},
          {"DeleteEntry", "no label", Ring(Key()), kMsgNoLabel},
          {"DeleteEntry", "no such label", Ring(Key(), "EntryLabel=nobody"), kMsgNoSuchEntry},
          {"DeleteEntry", "wrong password", wrong, kMsgBadPassword},
          {"DeleteEntry", "no key ring", Ring(dir_ / "missing.kyr", "EntryLabel=server"), kMsgKeyRingReadFailed},
          {"ExtractCert", "output is the key ring", Ring(Key(), "CertFile=" + dir_.path() + "/./ring.kyr"),
           kMsgCertFileCreateFailed},
          {"ExtractCert", "output is the stash", Ring(Key(), "CertFile=" + dir_ / "ring.sth"),
           kMsgCertFileCreateFailed},
          {"ExtractCert", "empty output name", Ring(Key(), "CertFile="), kMsgNoCertFile},
          {"ExtractCert", "no such label", Ring(Key(), "EntryLabel=nobody"), kMsgNoSuchEntry},
          {"ExtractCert", "no default key entry with a certificate", Ring(bare), kMsgNoSuchEntry},
          {"ExtractCert", "an entry without certificate", Ring(bare, "EntryLabel=key"), kMsgNoSuchEntry},
      },
      {Key(), bare});
}

TEST_F(EntryCommands, ExtractCertWritesTheArmouredCertificate) {
  const std::string out = dir_ / "server.crt";
  EXPECT_EQ(RunCommand("ExtractCert", Ring(Key(), "CertFile=" + out)), Ok(kMsgCertWritten));
  const std::string text = ReadFileText(out);
  EXPECT_TRUE(text.starts_with("-----BEGIN CERTIFICATE-----\n"));
  EXPECT_TRUE(text.ends_with("\n-----END CERTIFICATE-----")) << "no line end after the END line";
  EXPECT_EQ(CertificateDerOfFile(out), EntryOf(Key(), "server")->certificates);
  // Without an output file the command only reports.
  EXPECT_EQ(RunCommand("ExtractCert", Ring(Key(), "EntryLabel=server")).message, kMsgCertWritten);
}

}  // namespace
}  // namespace kcertadm
