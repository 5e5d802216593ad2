// DesignateRoot, DeleteEntry, ExtractCert and AdminSecurity through the
// command entry.
#include <gtest/gtest.h>

#include "command_test_util.h"
#include "host_interface/messages.h"
#include "keyring/keyring.h"

namespace kcertadm {
namespace {

using cmdtest::FileExists;
using cmdtest::Outcome;
using cmdtest::ReadFileBytes;
using cmdtest::ReadFileText;
using cmdtest::Ring;
using cmdtest::RunCommand;
using cmdtest::TempDir;

class EntryCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunCommand("CreateSelfSigned", Ring(Key(), "KeyName=server;CommonName=s")).status, 0);
  }
  std::string Key() const { return dir_ / "ring.kyr"; }
  std::optional<KeyRingEntry> Entry(const std::string& label) {
    if (KeyRingOpen(Key(), "secret") != 0) return std::nullopt;
    return KeyRingFindEntry(std::string_view(label));
  }

  TempDir dir_;
};

TEST_F(EntryCommands, DesignateRootSetsAndClearsTheMark) {
  const Outcome marked = RunCommand("DesignateRoot", Ring(Key(), "EntryLabel=server"));
  ASSERT_EQ(marked.status, 0);
  EXPECT_EQ(marked.message, kMsgRootDesignated);
  EXPECT_TRUE(Entry("server")->IsTrustedRoot());
  ASSERT_EQ(RunCommand("DesignateRoot", Ring(Key(), "KeyName=server;NoTrust")).status, 0);
  EXPECT_FALSE(Entry("server")->IsTrustedRoot());
}

TEST_F(EntryCommands, DeleteEntryRemovesIt) {
  const Outcome deleted = RunCommand("DeleteEntry", Ring(Key(), "EntryLabel=server"));
  ASSERT_EQ(deleted.status, 0);
  EXPECT_EQ(deleted.message, kMsgEntryDeleted);
  EXPECT_FALSE(Entry("server"));
}

TEST_F(EntryCommands, RefusalsLeaveKeyRingAsItWas) {
  const auto before = ReadFileBytes(Key());
  struct Case {
    const char* command;
    std::string parameters;
    std::uint32_t message;
  } const kTests[] = {
      {"DesignateRoot", Ring(Key()), kMsgNoLabel},
      {"DesignateRoot", Ring(Key(), "EntryLabel=Server"), kMsgNoSuchEntry},  // labels keep their case
      {"DeleteEntry", Ring(Key()), kMsgNoLabel},
      {"DeleteEntry", Ring(Key(), "EntryLabel=nobody"), kMsgNoSuchEntry},
      {"DeleteEntry", "KeyFile=" + Key() + ";Password=wrong;EntryLabel=server", kMsgBadPassword},
      {"DeleteEntry", Ring(dir_ / "missing.kyr", "EntryLabel=server"), kMsgKeyRingReadFailed},
      {"ExtractCert", Ring(Key(), "CertFile=" + Key()), kMsgCertFileCreateFailed},
      {"ExtractCert", Ring(Key(), "CertFile=" + dir_.path() + "/./ring.kyr"), kMsgCertFileCreateFailed},
      {"ExtractCert", Ring(Key(), "CertFile=" + (dir_ / "ring.sth")), kMsgCertFileCreateFailed},
      {"ExtractCert", Ring(Key(), "CertFile="), kMsgNoCertFile},
      {"ExtractCert", Ring(Key(), "EntryLabel=nobody"), kMsgNoSuchEntry},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.command + (";" + c.parameters));
    const Outcome refused = RunCommand(c.command, c.parameters);
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(refused.message, c.message);
    EXPECT_EQ(ReadFileBytes(Key()), before);
  }
}

TEST_F(EntryCommands, ExtractCertWritesTheArmouredCertificate) {
  const std::string out = dir_ / "server.crt";
  const Outcome extracted = RunCommand("ExtractCert", Ring(Key(), "CertFile=" + out));
  ASSERT_EQ(extracted.status, 0);
  EXPECT_EQ(extracted.message, kMsgCertWritten);
  const std::string text = ReadFileText(out);
  EXPECT_TRUE(text.starts_with("-----BEGIN CERTIFICATE-----\n"));
  EXPECT_TRUE(text.ends_with("=\n-----END CERTIFICATE-----") || text.ends_with("\n-----END CERTIFICATE-----"));
  EXPECT_FALSE(text.ends_with("\n")) << "no line end after the END line";
  EXPECT_EQ(cmdtest::CertificateDerOfFile(out), Entry("server")->certificates);

  // Without an output file the command only reports.
  const std::string none = dir_ / "none.crt";
  EXPECT_EQ(RunCommand("ExtractCert", Ring(Key(), "EntryLabel=server")).message, kMsgCertWritten);
  EXPECT_FALSE(FileExists(none));
}

TEST_F(EntryCommands, ExtractCertNeedsAnEntryWithCertificate) {
  const std::string bare = dir_ / "bare.kyr";
  ASSERT_EQ(RunCommand("CreateKeyFile", Ring(bare, "KeyName=key;CommonName=k")).status, 0);
  EXPECT_EQ(RunCommand("ExtractCert", Ring(bare)).message, kMsgNoSuchEntry) << "no default key entry";
  EXPECT_EQ(RunCommand("ExtractCert", Ring(bare, "EntryLabel=key")).message, kMsgNoSuchEntry);
}

TEST(AdminSecurity, ReportsAndTouchesNothing) {
  const Outcome admin = RunCommand("AdminSecurity", "");
  EXPECT_EQ(admin.status, 0);
  EXPECT_EQ(admin.message, kMsgAdminSecurity);
}

}  // namespace
}  // namespace kcertadm
