// DesignateRoot, DeleteEntry and ExtractCert through the command entry.
#include "command_test_util.h"

#include <unistd.h>

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
  ASSERT_EQ(RunCommand("CreateKeyFile", Ring(bare, "KeyName=key;CommonName=k;NoStashFile")).status,
            0);
  const std::string wrong = "KeyFile=" + Key() + ";Password=wrong;EntryLabel=server";
  Bytes sealed = ReadFileBytes(bare);
  sealed[sealed.size() - 40] ^= 0x10;  // the last block of the key's private key, its last field
  const std::string damaged = dir_ / "damaged.kyr";
  test_support::WriteFileBytes(damaged, sealed);
  ExpectRefusals(
      {
          {"DesignateRoot", "no label", Ring(Key()), kMsgNoLabel},
          {"DesignateRoot", "labels keep their case", Ring(Key(), "EntryLabel=Server"),
           kMsgNoSuchEntry},
          {"DeleteEntry", "no label", Ring(Key()), kMsgNoLabel},
          {"DeleteEntry", "no such label", Ring(Key(), "EntryLabel=nobody"), kMsgNoSuchEntry},
          {"DeleteEntry", "wrong password", wrong, kMsgBadPassword},
          {"DeleteEntry", "no key ring", Ring(dir_ / "missing.kyr", "EntryLabel=server"),
           kMsgKeyRingReadFailed},
          {"ExtractCert", "output is the key ring",
           Ring(Key(), "CertFile=" + dir_.path() + "/./ring.kyr"), kMsgCertFileCreateFailed},
          {"ExtractCert", "output is the stash", Ring(Key(), "CertFile=" + dir_ / "ring.sth"),
           kMsgCertFileCreateFailed},
          {"ExtractCert", "empty output name", Ring(Key(), "CertFile="), kMsgNoCertFile},
          {"ExtractCert", "no such label", Ring(Key(), "EntryLabel=nobody"), kMsgNoSuchEntry},
          {"ExtractCert", "no default key entry with a certificate", Ring(bare), kMsgNoSuchEntry},
          {"ExtractCert", "an entry without certificate", Ring(bare, "EntryLabel=key"),
           kMsgNoCertificate},
          // The password opens the header; the key it seals is damaged, not the password wrong.
          {"ExtractCert", "a damaged private key", Ring(damaged, "EntryLabel=key"),
           kMsgKeyRingReadFailed},
      },
      {Key(), bare, damaged});
}

// A key ring that is there but may not be read is neither missing nor damaged. As root the command
// runs in a child process that has become nobody, its message told by its exit status.
TEST_F(EntryCommands, KeyRingThatMayNotBeReadCannotBeOpened) {
  using std::filesystem::perms;
  std::filesystem::permissions(dir_.path(),
                               perms::owner_all | perms::group_exec | perms::others_exec);
  std::filesystem::permissions(Key(), perms::none);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(255);
    ::_exit(static_cast<int>(RunCommand("ExtractCert", Ring(Key())).message - kMsgInitFailed));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 255) << status;
  EXPECT_EQ(kMsgInitFailed + static_cast<std::uint32_t>(WEXITSTATUS(status)),
            kMsgKeyRingOpenFailed);
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
