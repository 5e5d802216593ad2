// CreateKeyFile, CreateSelfSigned, CreateSelfSignedRoot and ChangePassword through the command
// entry, on real files.
#include <new>

#include "command_test_util.h"
#include "keyring/certificate_parts.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

constexpr const char* kSubject = "KeyName=server;CommonName=www.example.com";

class KeyFileCreation : public ::testing::Test {
 protected:
  std::string Key() const { return dir_ / "ring.kyr"; }
  std::string Stash() const { return dir_ / "ring.sth"; }
  Outcome Create(const std::string& command, const std::string& more = "") {
    return RunCommand(command, Ring(Key(), kSubject + more));
  }
  // ExtractCert with the given password items: what the key ring opens with.
  std::uint32_t OpenWith(const std::string& items) {
    return RunCommand("ExtractCert", "KeyFile=" + Key() + ";" + items).message;
  }

  TempDir dir_;
};

TEST_F(KeyFileCreation, EachCommandStoresTheKeyAndItsCertificate) {
  const std::string request = dir_ / "server.arm";
  struct Case {
    const char* command;
    std::string more;
    std::uint32_t message;
    bool certificate, root;
  };
  const Case kTests[] = {
      {"CreateKeyFile", ";CertReqFile=" + request, kMsgKeyFileCreated, false, false},
      {"CreateKeyFile", ";SelfSigned", kMsgKeyFileCreated, true, false},
      {"CreateSelfSigned", "", kMsgSelfSignedCreated, true, false},
      {"CreateSelfSignedRoot", "", kMsgSelfSignedRootCreated, true, true},
      {"CreateSelfSignedRoot", ";NoTrust", kMsgSelfSignedRootCreated, true, false},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.command + c.more);
    std::filesystem::remove(Key());
    std::filesystem::remove(Stash());
    ASSERT_EQ(Create(c.command, c.more), Ok(c.message));
    std::optional<KeyRingEntry> entry = EntryOf(Key(), "server");
    ASSERT_TRUE(entry);
    EXPECT_EQ(std::tuple(entry->HasPrivateKey(), entry->HasCertificates(), entry->IsTrustedRoot(),
                         FileExists(Stash())),
              std::tuple(true, c.certificate, c.root, true));
    EXPECT_EQ(std::filesystem::status(Key()).permissions(), std::filesystem::perms(0600))
        << "the owner's alone";
  }
  const std::string text = ReadFileText(request);
  EXPECT_TRUE(text.starts_with("-----BEGIN NEW CERTIFICATE REQUEST-----\n"));
  EXPECT_TRUE(text.ends_with("\n-----END NEW CERTIFICATE REQUEST-----"));
}

// Today's key sizes: the stored key has the size asked for, and its self-signed certificate
// verifies.
TEST_F(KeyFileCreation, KeysOf3072And4096Bits) {
  for (int bits : {3072, 4096}) {
    SCOPED_TRACE(bits);
    std::filesystem::remove(Key());
    ASSERT_EQ(Create("CreateSelfSigned", ";KeySize=" + std::to_string(bits)),
              Ok(kMsgSelfSignedCreated));
    std::optional<KeyRingEntry> entry = EntryOf(Key(), "server");
    ASSERT_TRUE(entry);
    RsaPublicNumbers key;
    ASSERT_EQ(SpkiModulusExponent(entry->publicKey, key), 0);
    const ByteView modulus = key.modulus;
    EXPECT_EQ(modulus.size(), bits / 8 + 1u) << "a leading zero and the modulus";
    const std::string cert =
        dir_.Write("self.der", std::string(entry->certificates.begin(), entry->certificates.end()));
    EXPECT_EQ(RunCommand("ViewCert",
                         "CertReqFile=" + cert + ";EntriesFile=" + dir_ / "view.txt;UseBER;Verify"),
              Ok(kMsgCertWritten));
  }
}

TEST_F(KeyFileCreation, RefusalsCreateNothing) {
  const std::string subject = kSubject, ring2 = dir_ / "ring2.sth",
                    dangling = dir_ / "dangling.kyr";
  const std::string existing = dir_.Write("existing.kyr", "never replaced");
  std::filesystem::create_symlink(dir_ / "nowhere", dangling);
  std::filesystem::create_directory(dir_ / "nostash.sth");  // its stash file cannot be written
  ExpectRefusals(
      {
          {"CreateKeyFile", "no common name", Ring(Key(), "KeyName=server;Org=Example"),
           kMsgBadSubjectName},
          {"CreateKeyFile", "country of three letters", Ring(Key(), subject + ";Country=USA"),
           kMsgBadSubjectName},
          {"CreateKeyFile", "no label", Ring(Key(), "CommonName=www.example.com"), kMsgNoLabel},
          {"CreateKeyFile", "empty request file name", Ring(Key(), subject + ";CertReqFile="),
           kMsgNoRequestFile},
          {"CreateKeyFile", "request file is the key file, spelt otherwise",
           Ring(Key(), subject + ";CertReqFile=" + dir_.path() + "/./ring.kyr"),
           kMsgRequestFileIsKeyFile},
          {"CreateKeyFile", "request file is the stash file",
           Ring(Key(), subject + ";CertReqFile=" + Stash()), kMsgRequestFileIsKeyFile},
          {"CreateKeyFile", "key size too small", Ring(Key(), subject + ";KeySize=100"),
           kMsgKeyGenFailed},
          // The smallest key that signs a request with MD5 has 360 bits.
          {"CreateSelfSigned", "key too small to sign its certificate",
           Ring(Key(), subject + ";KeySize=256"), kMsgKeyGenFailed},
          {"CreateKeyFile", "key too small to sign a request later",
           Ring(Key(), subject + ";KeySize=359"), kMsgKeyGenFailed},
          // SHA-512's DigestInfo of 83 octets needs 94: 752 bits, refused before a key is made for
          // nothing.
          {"CreateSelfSigned", "key too small for the SHA-512 DigestInfo",
           Ring(Key(), subject + ";KeySize=744;Digest=SHA512"), kMsgKeyGenFailed},
          {"CreateKeyFile", "UseStash without password: a new ring has no stash",
           "KeyFile=" + Key() + ";UseStash;" + subject, kMsgNoPassword},
          {"CreateKeyFile", "key size above 4096 bits", Ring(Key(), subject + ";KeySize=4097"),
           kMsgKeyGenFailed},
          {"CreateKeyFile", "an existing key ring", Ring(existing, subject), kMsgKeyFileExists},
          // A name that exists but cannot be opened counts as existing too.
          {"CreateKeyFile", "a dangling link", Ring(dangling, subject), kMsgKeyFileExists},
          // A key ring without its stash file is not left behind.
          {"CreateKeyFile", "the stash cannot be written", Ring(dir_ / "nostash.kyr", subject),
           kMsgStashFailed},
          // The stash would overwrite the key ring it names.
          {"CreateKeyFile", "key ring named like its stash", Ring(ring2, subject), kMsgStashFailed},
      },
      {existing});
  for (const std::string& file : {Key(), Stash(), ring2, dir_ / "nowhere", dir_ / "nostash.kyr"})
    EXPECT_FALSE(FileExists(file)) << file;
  EXPECT_EQ(RunCommand("CreateKeyFile", Ring(ring2, subject + ";NoStashFile")),
            Ok(kMsgKeyFileCreated));
  EXPECT_TRUE(EntryOf(ring2, "server")) << "NoStashFile wrote nothing over the ring";
}

TEST_F(KeyFileCreation, TemplateEntriesStartTheNewKeyRing) {
  // A template without password holding another key ring's root as a trusted certificate entry.
  MakeRootKeyRing(dir_ / "ca.kyr");
  std::optional<KeyRingEntry> ca = EntryOf(dir_ / "ca.kyr", "CA");
  ASSERT_TRUE(ca);
  KeyRingClear();
  ASSERT_EQ(KeyRingAddCertificate(ca->certificates, std::string_view("Template CA"), nullptr), 0);
  ASSERT_EQ(KeyRingMarkRoot(ca->publicKey), 0);
  const std::string templatePath = std::string(::getenv("KCERTADM_DATA_DIR")) + "/master.kyr";
  ASSERT_EQ(KeyRingWrite(templatePath, std::nullopt), 0);

  const Outcome made = Create("CreateKeyFile");
  std::filesystem::remove(templatePath);
  ASSERT_EQ(made.status, 0);
  std::optional<KeyRingEntry> copied = EntryOf(Key(), "Template CA");
  ASSERT_TRUE(copied);
  EXPECT_TRUE(copied->IsTrustedRoot());
  EXPECT_TRUE(KeyRingFindEntry(std::string_view("server")));
}

TEST_F(KeyFileCreation, PasswordStashAndChangePassword) {
  ASSERT_EQ(Create("CreateSelfSigned").status, 0);
  const std::string wrong = "KeyFile=" + Key() + ";Password=wrong;";
  ExpectRefusals(
      {
          {"ChangePassword", "no new password", Ring(Key()), kMsgNoNewPassword},
          {"ChangePassword", "wrong password", wrong + "NewPassword=x", kMsgBadPassword},
          {"ChangePassword", "wrong password beats the stash", wrong + "UseStash;NewPassword=x",
           kMsgBadPassword},
          {"ChangePassword", "missing key ring", Ring(dir_ / "missing.kyr", "NewPassword=x"),
           kMsgKeyRingReadFailed},
          {"ChangePassword", "password too long for the stash",
           Ring(Key(), "NewPassword=" + std::string(129, 'p')), kMsgStashFailed},
      },
      {Key(), Stash()});
  // The empty password is a password like any other; the stash file holds the new one.
  ASSERT_EQ(RunCommand("ChangePassword", "KeyFile=" + Key() + ";UseStash;NewPassword="),
            Ok(kMsgPasswordChanged));
  EXPECT_EQ(OpenWith("Password=secret"), kMsgBadPassword);
  EXPECT_EQ(OpenWith("UseStash"), kMsgCertWritten);
  EXPECT_TRUE(EntryOf(Key(), "server", ""));
  std::filesystem::remove(Stash());
  EXPECT_EQ(OpenWith("UseStash"), kMsgBadPassword);
}

// A ChangePassword whose memory runs out at any one allocation either
// leaves the key ring file byte for byte as it was, or has saved the ring
// under the new password with its key (a stash that could not be written
// after that save is reported as such).
TEST_F(KeyFileCreation, ChangePasswordRunningOutOfMemoryKeepsTheRing) {
  ASSERT_EQ(Create("CreateSelfSigned").status, 0);
  const Bytes original = ReadFileBytes(Key());
  bool completed = false;
  for (std::uint32_t nth = 1; !completed && nth < 20000; ++nth) {
    SCOPED_TRACE("allocation " + std::to_string(nth) + " fails");
    test_support::WriteFileBytes(Key(), original);
    FailSecureAllocationForTesting(nth);
    // The exported entry turns an allocation failure that unwinds the command into 30070.
    Outcome outcome{-1, kMsgOutOfMemory};
    try {
      outcome = RunCommand("ChangePassword", Ring(Key(), "NoStashFile;NewPassword=fresh"));
    } catch (const std::bad_alloc&) {
    }
    completed = SecureAllocationFailurePending();
    FailSecureAllocationForTesting(0);
    if (outcome.status != 0) {
      ASSERT_EQ(ReadFileBytes(Key()), original) << outcome;
      continue;
    }
    auto entry = EntryOf(Key(), "server", "fresh");
    ASSERT_TRUE(entry && entry->HasPrivateKey()) << "the key survives the change";
  }
  EXPECT_TRUE(completed);
}

}  // namespace
}  // namespace kcertadm
