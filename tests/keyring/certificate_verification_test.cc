// Verification of received certificates against the trusted roots, the
// root cache, the predefined roots and RSA signing, with certificates made
// by the openssl command.
#include <cstdlib>

#include <gtest/gtest.h>

#include "crypto/toolkit_scope.h"
#include "keyring/certificate_parts.h"
#include "keyring/certificate_verification.h"
#include "keyring/host_roots.h"
#include "keyring/keyring.h"
#include "keyring/keyring_test_util.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using test::ReadFileBytes;
using test::RunCommand;

struct Certificates {
  Bytes root, leaf, sha1Leaf, stranger;
};

std::string TextOf(const std::string& path) {
  Bytes b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

// Makes, once: a self-signed MD5 root; a leaf it signs with MD5 and one it
// signs with SHA-1; an unrelated self-signed certificate.
class CertificateVerificationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    auto p = [](const char* name) { return dir_->Path(name); };
    std::string commands =
        "cd " + p("") + " && "
        "openssl req -x509 -newkey rsa:1024 -nodes -keyout root.key -md5 -days 30 -subj '/CN=Test Root' -out root.pem && "
        "openssl req -x509 -newkey rsa:1024 -nodes -keyout other.key -md5 -days 30 -subj '/CN=Stranger' -out other.pem && "
        "openssl req -newkey rsa:1024 -nodes -keyout leaf.key -subj '/CN=Leaf' -out leaf.csr && "
        "openssl x509 -req -in leaf.csr -CA root.pem -CAkey root.key -set_serial 2 -md5 -days 10 -out leaf.pem && "
        "openssl x509 -req -in leaf.csr -CA root.pem -CAkey root.key -set_serial 3 -sha1 -days 10 -out sha1.pem && "
        "for c in root other leaf sha1; do openssl x509 -in $c.pem -outform DER -out $c.der || exit 1; done";
    std::string output;
    ASSERT_EQ(RunCommand("(" + commands + ") 2>&1", &output), 0) << output;
    certs_ = new Certificates{ReadFileBytes(p("root.der")), ReadFileBytes(p("leaf.der")),
                              ReadFileBytes(p("sha1.der")), ReadFileBytes(p("other.der"))};
  }
  static void TearDownTestSuite() {
    delete certs_;
    delete dir_;
  }
  void SetUp() override {
    KeyRingClear();
    TrustedRootCacheRebuild();
  }
  void TearDown() override {
    SetVerificationClockForTesting(nullptr);
    ::unsetenv(kHostRootsVariable);
    KeyRingClear();
    TrustedRootCacheRebuild();
  }
  // Adds the test root as entry "root" and marks it trusted.
  static void AddRoot() {
    ASSERT_EQ(KeyRingAddCertificate(certs_->root, "root", nullptr), 0);
    ASSERT_EQ(KeyRingMarkRoot(RootKey()), 0);
  }
  static Bytes RootKey() { return KeyRingFindEntry("root")->publicKey; }
  static test::TempDir* dir_;
  static Certificates* certs_;
};

test::TempDir* CertificateVerificationTest::dir_ = nullptr;
Certificates* CertificateVerificationTest::certs_ = nullptr;

TEST_F(CertificateVerificationTest, TrustFollowsTheRootMark) {
  const Certificates& c = *certs_;
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyUntrusted) << "no trusted roots";
  EXPECT_EQ(VerifyCertificate(c.root), kVerifySelfSigned);
  AddRoot();
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyTrusted);
  EXPECT_EQ(VerifyCertificate(c.root), kVerifyTrusted) << "a marked root is trusted, not just self-signed";
  EXPECT_EQ(VerifyCertificate(c.stranger), kVerifySelfSigned);
  ASSERT_EQ(KeyRingUnmarkRoot(RootKey()), 0);
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyUntrusted);
}

TEST_F(CertificateVerificationTest, RefusalsHaveTheirCodes) {
  const Certificates& c = *certs_;
  AddRoot();
  Bytes badSignature = c.leaf, badTbs = c.leaf;
  badSignature.back() ^= 0x01;
  badTbs[40] ^= 0x01;  // inside the serial number or algorithm: signed bytes
  const struct { const char* why; Bytes certificate; int status; } kTests[] = {
      {"SHA-1 signatures are not taken", c.sha1Leaf, kVerifyBadEncoding},
      {"a changed signature does not verify", badSignature, kVerifyUntrusted},
      {"changed signed bytes do not verify", badTbs, kVerifyUntrusted},
      {"not a certificate", Bytes{0x30, 0x03, 0x02, 0x01, 0x01}, kVerifyBadEncoding},
      {"cut short", test::Slice(c.leaf, 0, c.leaf.size() - 1), kVerifyBadEncoding},
  };
  for (const auto& t : kTests) EXPECT_EQ(VerifyCertificate(t.certificate), t.status) << t.why;
  // Validity is judged against the clock, for self-signed ones too.
  SetVerificationClockForTesting([] { return std::time_t{4102444800}; });  // 2100
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyNotValidNow) << "expired";
  SetVerificationClockForTesting([] { return std::time_t{946684800}; });  // 2000
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyNotValidNow) << "not yet valid";
  EXPECT_EQ(VerifyCertificate(c.stranger), kVerifyNotValidNow) << "self-signed but not yet valid";
}

TEST_F(CertificateVerificationTest, TheCacheHoldsThirtyTwoRoots) {
  const Certificates& c = *certs_;
  AddRoot();
  // 32 more marked roots ahead of it in list order push it out of the cache.
  for (int i = 0; i < kTrustedRootCacheSlots; ++i) {
    Bytes modulus(64, static_cast<std::uint8_t>(0x80 + i));
    KeyRingEntry e;
    e.label = LabelBytes("filler " + std::to_string(i));
    e.subjectName = test::NameOf("Filler " + std::to_string(i));
    e.publicKey = CanonicalPublicKey(modulus, Bytes{3});
    e.flags = kKeyRingTrustedRoot;
    ASSERT_EQ(KeyRingInsertEntry(e), 0);
  }
  TrustedRootCacheRebuild();
  EXPECT_EQ(TrustedRootCacheCount(), kTrustedRootCacheSlots);
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyUntrusted) << "the 33rd root is not used";
  ASSERT_EQ(KeyRingDeleteEntry("filler 5"), 0);
  ASSERT_EQ(KeyRingMarkRoot(RootKey()), 0);  // rebuilds the cache
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyTrusted);
}

TEST_F(CertificateVerificationTest, HostRootsComeFromThePemFile) {
  const Certificates& c = *certs_;
  EXPECT_EQ(KeyRingAddHostRoots(), 0) << "none configured";
  EXPECT_EQ(KeyRingEntryCount(), 0u);

  std::string path = dir_->Path("roots.pem");
  std::string text = "# Our own root\n" + TextOf(dir_->Path("root.pem")) + "\nsome text\n" + TextOf(dir_->Path("other.pem"));
  test::WriteFileBytes(path, Bytes(text.begin(), text.end()));
  ::setenv(kHostRootsVariable, path.c_str(), 1);
  ASSERT_EQ(KeyRingAddHostRoots(), 0);
  EXPECT_EQ(KeyRingEntryCount(), 2u);
  auto root = KeyRingFindEntry("Our own root");
  ASSERT_TRUE(root) << "the comment line names the certificate";
  EXPECT_EQ(root->certificates, c.root);
  EXPECT_TRUE(KeyRingFindEntry("Stranger")->IsTrustedRoot()) << "without a comment, the common name";
  EXPECT_EQ(VerifyCertificate(c.leaf), kVerifyTrusted);

  KeyRingClear();
  ::setenv(kHostRootsVariable, dir_->Path("missing.pem").c_str(), 1);
  EXPECT_NE(KeyRingAddHostRoots(), 0) << "a configured file that is missing";
  std::string broken = "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n";
  test::WriteFileBytes(path, Bytes(broken.begin(), broken.end()));
  ::setenv(kHostRootsVariable, path.c_str(), 1);
  EXPECT_NE(KeyRingAddHostRoots(), 0) << "a block that is no certificate";
}

TEST(RsaData, SignaturesVerifyHereAndWithOpenssl) {
  // The key of the private-key vector, opened into a toolkit key object.
  KeyObject* key = DecryptPrivateKey(test::VectorPrivateKey(), test::kVectorPassword);
  ASSERT_NE(key, nullptr);
  const Bytes data = {'s', 'i', 'g', 'n', ' ', 'm', 'e'};
  auto md5 = RsaSignData(2, key, data);
  auto md2 = RsaSignData(1, key, data);
  ASSERT_TRUE(md5 && md2);
  EXPECT_EQ(RsaVerifyData(1, data, *md2, key), 0);
  EXPECT_EQ(RsaVerifyData(1, data, *md5, key), -1) << "another digest";
  EXPECT_EQ(RsaVerifyData(2, Bytes{1}, *md5, key), -1) << "other data";

  auto original = DecryptPrivateKeyNumbers(test::VectorPrivateKey(), test::kVectorPassword);
  ASSERT_TRUE(original);

  // openssl checks the MD5 signature with the public half.
  test::TempDir dir;
  SecureBytes info = EncodePrivateKeyInfo(*original);
  test::WriteFileBytes(dir.Path("key.der"), Bytes(info.begin(), info.end()));
  test::WriteFileBytes(dir.Path("data"), data);
  test::WriteFileBytes(dir.Path("sig"), *md5);
  std::string output;
  EXPECT_EQ(RunCommand("cd " + dir.Path("") + " && openssl pkey -inform DER -in key.der -pubout -out pub.pem && "
                       "openssl dgst -md5 -verify pub.pem -signature sig data 2>&1", &output), 0) << output;
  ToolkitScope lock;
  KeyDestroy(&key);
}

}  // namespace
}  // namespace kcertadm
