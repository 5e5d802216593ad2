// Certificate verification against trusted roots, with certificates openssl makes.
#include "keyring/certificate_verification.h"

#include <cstdlib>

#include "keyring/certificate_parts.h"
#include "keyring/host_roots.h"
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using namespace test;

// Made once: self-signed MD5 "root" and "other", and leaves "md5", "sha1", "sha256", "sha512" root
// signs; PEM and DER.
const TempDir& Made() {
  static const TempDir dir;
  static const int status = RunCommand(
      "cd " + dir.path() +
      " && (for n in root other; do openssl req -x509 -newkey rsa:1024 -nodes -keyout $n.key "
      "-md5 -days 30 -subj /CN=$n -out $n.pem && openssl x509 -in $n.pem -outform DER -out $n.der "
      "|| exit 1; done && "
      "openssl req -newkey rsa:1024 -nodes -keyout leaf.key -subj /CN=Leaf -out leaf.csr && for d "
      "in md5 sha1 sha256 sha512; do "
      "openssl x509 -req -in leaf.csr -CA root.pem -CAkey root.key -$d -days 10 -outform DER -out "
      "$d.der || exit 1; "
      "done) >/dev/null 2>&1");
  EXPECT_EQ(status, 0);
  return dir;
}
Bytes Der(const std::string& name) { return ReadFileBytes(Made() / (name + ".der")); }

class CertificateVerificationTest : public KeyRingTest {
 protected:
  void SetUp() override {
    KeyRingTest::SetUp();
    TrustedRootCacheRebuild();
  }
  void TearDown() override {
    SetVerificationClockForTesting(nullptr);
    ::unsetenv(kHostRootsVariable);
    KeyRingTest::TearDown();
    TrustedRootCacheRebuild();
  }
  // Adds the test root as entry "root" and marks it trusted.
  static void AddRoot() {
    ASSERT_EQ(KeyRingAddCertificate(Der("root"), "root", nullptr), 0);
    ASSERT_EQ(KeyRingMarkRoot(RootKey()), 0);
  }
  static Bytes RootKey() { return KeyRingFindEntry("root")->publicKey; }
  const Bytes root = Der("root"), leaf = Der("md5"), other = Der("other");
};

TEST_F(CertificateVerificationTest, TrustFollowsTheRootMarkAndTheClock) {
  EXPECT_EQ(VerifyCertificate(root), kVerifySelfSigned);
  AddRoot();
  EXPECT_EQ(VerifyCertificate(leaf), kVerifyTrusted);
  EXPECT_EQ(VerifyCertificate(root), kVerifyTrusted)
      << "a marked root is trusted, not just self-signed";
  EXPECT_EQ(VerifyCertificate(other), kVerifySelfSigned);

  Bytes badSignature = leaf, badTbs = leaf;
  badSignature.back() ^= 0x01;
  badTbs[40] ^= 0x01;  // inside the serial number or algorithm: signed bytes
  const struct {
    const char* why;
    Bytes certificate;
    VerifyStatus status;
  } kTests[] = {
      {"SHA-1 signatures are not taken", Der("sha1"), kVerifyBadEncoding},
      {"SHA-256 signatures are", Der("sha256"), kVerifyTrusted},
      {"SHA-512 signatures are", Der("sha512"), kVerifyTrusted},
      {"a changed signature does not verify", badSignature, kVerifyUntrusted},
      {"changed signed bytes do not verify", badTbs, kVerifyUntrusted},
      {"cut short", Slice(leaf, 0, leaf.size() - 1), kVerifyBadEncoding},
  };
  for (const auto& t : kTests) EXPECT_EQ(VerifyCertificate(t.certificate), t.status) << t.why;
  // Validity is judged against the clock, for self-signed ones too.
  SetVerificationClockForTesting([] { return std::time_t{4102444800}; });  // 2100
  EXPECT_EQ(VerifyCertificate(leaf), kVerifyNotValidNow) << "expired";
  SetVerificationClockForTesting([] { return std::time_t{946684800}; });  // 2000
  EXPECT_EQ(VerifyCertificate(other), kVerifyNotValidNow) << "self-signed but not yet valid";
  SetVerificationClockForTesting(nullptr);
  ASSERT_EQ(KeyRingUnmarkRoot(RootKey()), 0);
  EXPECT_EQ(VerifyCertificate(leaf), kVerifyUntrusted);
}

// UTCTime 50-99 are 1950-1999: a root valid since 1969 was refused as not yet valid, one that
// expired in 1965 was taken.
TEST_F(CertificateVerificationTest, UtcTimeYearsFromFiftyAreOfTheNineteenHundreds) {
  auto report = [](const std::string& name) {
    return ReadFileBytes(KCERTADM_TEST_DATA_DIR "/reports/" + name);
  };
  EXPECT_EQ(VerifyCertificate(report("md5_1969.der")), kVerifySelfSigned);
  EXPECT_EQ(VerifyCertificate(report("md5_1965.der")), kVerifyNotValidNow);
}

TEST_F(CertificateVerificationTest, TheCacheHoldsThirtyTwoRoots) {
  AddRoot();
  // 32 more marked roots ahead of it in list order push it out of the cache.
  for (int i = 0; i < kTrustedRootCacheSlots; ++i) {
    KeyRingEntry e = SampleEntry("filler " + std::to_string(i), static_cast<std::uint8_t>(i));
    e.publicKey = CanonicalPublicKey({Bytes(64, static_cast<std::uint8_t>(0x80 + i)), Bytes{3}});
    e.flags = kKeyRingTrustedRoot;
    ASSERT_EQ(KeyRingInsertEntry(e), 0);
  }
  TrustedRootCacheRebuild();
  EXPECT_EQ(TrustedRootCacheCount(), kTrustedRootCacheSlots);
  EXPECT_EQ(VerifyCertificate(leaf), kVerifyUntrusted) << "the 33rd root is not used";
  ASSERT_EQ(KeyRingDeleteEntry("filler 5"), 0);
  ASSERT_EQ(KeyRingMarkRoot(RootKey()), 0);  // rebuilds the cache
  EXPECT_EQ(VerifyCertificate(leaf), kVerifyTrusted);
}

TEST_F(CertificateVerificationTest, HostRootsComeFromThePemFile) {
  const std::string roots = dir_.Write(
      "roots.pem", "# Our own root\n" + test_support::ReadFileText(Made() / "root.pem") +
                       "\nsome text\n" + test_support::ReadFileText(Made() / "other.pem"));
  ::setenv(kHostRootsVariable, roots.c_str(), 1);
  ASSERT_EQ(KeyRingAddHostRoots(), 0);
  EXPECT_EQ(KeyRingEntryCount(), 2u);
  EXPECT_EQ(KeyRingFindEntry("Our own root")->certificates, root)
      << "the comment line names the certificate";
  EXPECT_TRUE(KeyRingFindEntry("other")->IsTrustedRoot()) << "without a comment, the common name";
  EXPECT_EQ(VerifyCertificate(leaf), kVerifyTrusted);

  KeyRingClear();
  dir_.Write("roots.pem", "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n");
  EXPECT_NE(KeyRingAddHostRoots(), 0) << "a block that is no certificate";
  ::setenv(kHostRootsVariable, dir_.Path("missing.pem").c_str(), 1);
  EXPECT_NE(KeyRingAddHostRoots(), 0) << "a configured file that is missing";
}

// An armoured certificate block of der.
std::string PemOf(const Bytes& der) {
  Asn1Item text{};
  EXPECT_GT(Base64Encode(der.data(), static_cast<std::int32_t>(der.size()), &text), 0);
  const std::string pem = "-----BEGIN CERTIFICATE-----\n" +
                          std::string(reinterpret_cast<char*>(text.data)) +
                          "\n-----END CERTIFICATE-----\n";
  std::free(text.data);
  return pem;
}

// A system bundle holds roots a key ring cannot hold: elliptic-curve keys,
// certificates too large for a record. They are skipped and counted, the
// others taken; one of them once failed every new key ring.
TEST_F(CertificateVerificationTest, HostRootsAKeyRingCannotHoldAreSkipped) {
  const Bytes huge = FakeCertificate("Huge", Bytes(8100, 0xC5), {1, 0, 1});
  const std::string ecRoot =
      test_support::ReadFileText(KCERTADM_TEST_DATA_DIR "/keyring/ec_root.pem");
  const std::string roots = dir_.Write(
      "roots.pem", ecRoot + test_support::ReadFileText(Made() / "root.pem") + PemOf(huge) + ecRoot +
                       test_support::ReadFileText(Made() / "other.pem"));
  ::setenv(kHostRootsVariable, roots.c_str(), 1);
  ASSERT_EQ(KeyRingAddHostRoots(), 0);
  EXPECT_EQ(KeyRingHostRootsSkipped(), 3u);
  EXPECT_EQ(KeyRingEntryCount(), 2u);
  EXPECT_TRUE(KeyRingFindEntry("root")->IsTrustedRoot());
  EXPECT_TRUE(KeyRingFindEntry("other")->IsTrustedRoot());

  KeyRingClear();
  ::setenv(kHostRootsVariable,
           dir_.Write("rsa.pem", test_support::ReadFileText(Made() / "root.pem")).c_str(), 1);
  ASSERT_EQ(KeyRingAddHostRoots(), 0);
  EXPECT_EQ(KeyRingHostRootsSkipped(), 0u) << "each import counts afresh";
}

}  // namespace
}  // namespace kcertadm
