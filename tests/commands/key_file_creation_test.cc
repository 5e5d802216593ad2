// CreateKeyFile, CreateSelfSigned, CreateSelfSignedRoot and ChangePassword
// through the command entry, on real files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

constexpr const char* kSubject = "KeyName=server;CommonName=www.example.com";

class KeyFileCreation : public ::testing::Test {
 protected:
  std::string Key() const { return dir_ / "ring.kyr"; }
  std::string Stash() const { return dir_ / "ring.sth"; }
  Outcome Create(const std::string& command, const std::string& more) {
    return RunCommand(command, Ring(Key(), more));
  }
  // ExtractCert with the given password items: what the key ring opens with.
  std::uint32_t OpenWith(const std::string& items) {
    return RunCommand("ExtractCert", "KeyFile=" + Key() + ";" + items).message;
  }

  TempDir dir_;
};

TEST_F(KeyFileCreation, CreateKeyFileWritesKeyRingStashAndRequest) {
  const std::string request = dir_ / "server.arm";
  const Outcome made = Create("CreateKeyFile", std::string(kSubject) + ";CertReqFile=" + request);
  ASSERT_EQ(made.status, 0);
  EXPECT_EQ(made.message, kMsgKeyFileCreated);
  EXPECT_TRUE(FileExists(Stash()));
  const std::string text = ReadFileText(request);
  EXPECT_TRUE(text.starts_with("-----BEGIN NEW CERTIFICATE REQUEST-----\n"));
  EXPECT_TRUE(text.ends_with("\n-----END NEW CERTIFICATE REQUEST-----"));

  std::optional<KeyRingEntry> entry = EntryOf(Key(), "server");
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->HasPrivateKey());
  EXPECT_FALSE(entry->HasCertificates());
  EXPECT_FALSE(entry->IsTrustedRoot());

  struct stat st;
  ASSERT_EQ(::stat(Key().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "key ring files are the owner's alone";
}

TEST_F(KeyFileCreation, SelfSignedVariantsStoreTheCertificateAndMarkTheRoot) {
  struct Case {
    const char* command;
    const char* more;
    std::uint32_t message;
    bool root;
  } const kTests[] = {
      {"CreateSelfSigned", "", kMsgSelfSignedCreated, false},
      {"CreateSelfSignedRoot", "", kMsgSelfSignedRootCreated, true},
      {"CreateSelfSignedRoot", ";NoTrust", kMsgSelfSignedRootCreated, false},
      {"CreateKeyFile", ";SelfSigned", kMsgKeyFileCreated, false},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(std::string(c.command) + c.more);
    ::unlink(Key().c_str());
    const Outcome made = Create(c.command, std::string(kSubject) + c.more);
    ASSERT_EQ(made.status, 0);
    EXPECT_EQ(made.message, c.message);
    std::optional<KeyRingEntry> entry = EntryOf(Key(), "server");
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->HasPrivateKey());
    EXPECT_TRUE(entry->HasCertificates());
    EXPECT_EQ(entry->IsTrustedRoot(), c.root);
  }
}

TEST_F(KeyFileCreation, RefusalsCreateNothing) {
  const std::string subject = kSubject;
  ExpectRefusals("CreateKeyFile",
                 {
                     {"no common name", Ring(Key(), "KeyName=server;Org=Example"), kMsgBadSubjectName},
                     {"country of three letters", Ring(Key(), subject + ";Country=USA"), kMsgBadSubjectName},
                     {"no label", Ring(Key(), "CommonName=www.example.com"), kMsgNoLabel},
                     {"empty request file name", Ring(Key(), subject + ";CertReqFile="), kMsgNoRequestFile},
                     {"request file is the key file, spelt otherwise",
                      Ring(Key(), subject + ";CertReqFile=" + dir_.path() + "/./ring.kyr"), kMsgRequestFileIsKeyFile},
                     {"request file is the stash file", Ring(Key(), subject + ";CertReqFile=" + Stash()),
                      kMsgRequestFileIsKeyFile},
                     {"key size too small", Ring(Key(), subject + ";KeySize=100"), kMsgKeyGenFailed},
                 },
                 {Key(), Stash()});
  EXPECT_FALSE(FileExists(Key()));
  EXPECT_FALSE(FileExists(Stash()));
}

TEST_F(KeyFileCreation, ExistingKeyFileIsNeverReplaced) {
  ASSERT_EQ(Create("CreateKeyFile", kSubject).status, 0);
  const auto before = ReadFileBytes(Key());
  EXPECT_EQ(Create("CreateSelfSigned", "KeyName=other;CommonName=other").message, kMsgKeyFileExists);
  EXPECT_EQ(ReadFileBytes(Key()), before);

  // A name that exists but cannot be opened counts as existing too.
  const std::string dangling = dir_ / "dangling.kyr";
  ASSERT_EQ(::symlink((dir_ / "nowhere").c_str(), dangling.c_str()), 0);
  EXPECT_EQ(RunCommand("CreateKeyFile", Ring(dangling, kSubject)).message, kMsgKeyFileExists);
  EXPECT_FALSE(FileExists(dir_ / "nowhere"));
}

TEST_F(KeyFileCreation, FailedStashLeavesNoKeyRingBehind) {
  ASSERT_EQ(::mkdir(Stash().c_str(), 0700), 0);  // the stash file cannot be written
  const Outcome failed = Create("CreateKeyFile", kSubject);
  EXPECT_NE(failed.status, 0);
  EXPECT_EQ(failed.message, kMsgStashFailed);
  EXPECT_FALSE(FileExists(Key()));

  // A key ring named like its own stash file cannot have one: refused
  // before anything is written, instead of the stash overwriting the ring.
  const std::string selfStash = dir_ / "ring2.sth";
  EXPECT_EQ(RunCommand("CreateKeyFile", Ring(selfStash, kSubject)).message, kMsgStashFailed);
  EXPECT_FALSE(FileExists(selfStash));
  EXPECT_EQ(RunCommand("CreateKeyFile", Ring(selfStash, std::string(kSubject) + ";NoStashFile")).message,
            kMsgKeyFileCreated);
  EXPECT_TRUE(EntryOf(selfStash, "server")) << "NoStashFile wrote nothing over the ring";
}

TEST_F(KeyFileCreation, TemplateEntriesStartTheNewKeyRing) {
  // A template without password holding one trusted certificate: the
  // self-signed root of another key ring, received as a certificate entry.
  ASSERT_EQ(RunCommand("CreateSelfSignedRoot", Ring(dir_ / "ca.kyr", "KeyName=CA;CommonName=CA")).status, 0);
  std::optional<KeyRingEntry> ca = EntryOf(dir_ / "ca.kyr", "CA");
  ASSERT_TRUE(ca);
  KeyRingClear();
  ASSERT_EQ(KeyRingAddCertificate(ca->certificates, std::string_view("Template CA"), nullptr), 0);
  ASSERT_EQ(KeyRingMarkRoot(ca->publicKey), 0);
  const std::string templatePath = std::string(::getenv("KCERTADM_DATA_DIR")) + "/master.kyr";
  ASSERT_EQ(KeyRingWrite(templatePath, std::nullopt), 0);

  const Outcome made = Create("CreateKeyFile", kSubject);
  ::unlink(templatePath.c_str());
  ASSERT_EQ(made.status, 0);
  std::optional<KeyRingEntry> copied = EntryOf(Key(), "Template CA");
  ASSERT_TRUE(copied);
  EXPECT_TRUE(copied->IsTrustedRoot());
  EXPECT_TRUE(KeyRingFindEntry(std::string_view("server")));
}

TEST_F(KeyFileCreation, PasswordStashAndChangePassword) {
  ASSERT_EQ(Create("CreateSelfSigned", kSubject).status, 0);
  EXPECT_EQ(OpenWith("UseStash"), kMsgCertWritten);

  const Outcome changed = RunCommand("ChangePassword", Ring(Key(), "NewPassword=n3w"));
  ASSERT_EQ(changed.status, 0);
  EXPECT_EQ(changed.message, kMsgPasswordChanged);
  EXPECT_EQ(OpenWith("Password=secret"), kMsgBadPassword);
  EXPECT_EQ(OpenWith("Password=n3w"), kMsgCertWritten);
  EXPECT_EQ(OpenWith("UseStash"), kMsgCertWritten) << "the stash file holds the new password";

  // The empty password is a password like any other.
  ASSERT_EQ(RunCommand("ChangePassword", "KeyFile=" + Key() + ";UseStash;NewPassword=").status, 0);
  EXPECT_EQ(OpenWith("Password=;UseStash"), kMsgCertWritten);
  EXPECT_TRUE(EntryOf(Key(), "server", ""));
  ::unlink(Stash().c_str());
  EXPECT_EQ(OpenWith("UseStash"), kMsgBadPassword);
}

TEST_F(KeyFileCreation, FailedChangePasswordLeavesKeyRingAsItWas) {
  ASSERT_EQ(Create("CreateKeyFile", kSubject).status, 0);
  ExpectRefusals("ChangePassword",
                 {
                     {"no new password", Ring(Key()), kMsgNoNewPassword},
                     {"wrong password", "KeyFile=" + Key() + ";Password=wrong;NewPassword=x", kMsgBadPassword},
                     {"wrong password beats the stash",
                      "KeyFile=" + Key() + ";Password=wrong;UseStash;NewPassword=x", kMsgBadPassword},
                     {"missing key ring", Ring(dir_ / "missing.kyr", "NewPassword=x"), kMsgKeyRingReadFailed},
                     {"password too long for the stash", Ring(Key(), "NewPassword=" + std::string(129, 'p')),
                      kMsgStashFailed},
                 },
                 {Key(), Stash()});
}

}  // namespace
}  // namespace kcertadm
