// Certificates against the key ring: issuers, chains, the signing key, private keys.
#include "cert/cert_keyring.h"

#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/certificate.h"
#include "key_util.h"
#include "keyring/certificate_parts.h"
#include "keyring/keyring_test_util.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using namespace test;

class CertKeyRingTest : public KeyRingTest {
 protected:
  // An entry holding the root certificate.
  void AddRoot(const std::string& label, bool trusted, const SecureBytes& privateKey = {}) {
    Record r(root);
    std::uint32_t error = 0;
    ASSERT_EQ(ParseCert(&r.cert, &r.fields, &error), 0);
    KeyRingEntry entry;
    entry.label = LabelBytes(label);
    entry.subjectName = BytesOf(r.fields.subject);
    const ByteView spki(r.fields.subjectPublicKeyInfo.data, r.fields.subjectPublicKeyInfo.length);
    entry.publicKey = CanonicalPublicKeyFromSpki(spki).value();
    entry.certificates = root;
    entry.privateKey = privateKey;
    entry.flags = trusted ? kKeyRingTrustedRoot : 0;
    ASSERT_EQ(KeyRingInsertEntry(std::move(entry)), 0);
  }

  // CheckCertificate's status and message, and whether it found it self-signed.
  static std::tuple<int, std::uint32_t, int> Check(const Bytes& der) {
    Record r(der);
    std::uint32_t error = 0;
    const int status = CheckCertificate(&r.cert, &r.fields, 1, &error);
    return {status, error, r.cert.isSelfSigned};
  }

  VectorSigner root_{std::time(nullptr)};  // valid from now on
  const Bytes root = BytesOf(root_.self.cert.der);
};

TEST_F(CertKeyRingTest, IssuerMustBeATrustedRoot) {
  Record request(TestData("request.der"));
  std::uint32_t error = 0;
  ASSERT_EQ(ParseRequest(&request.cert, &request.fields, &error), 0);
  ASSERT_EQ(IssueCertificate(&root_.signer, request.fields, &request.cert, 30, &error), 0);
  const Bytes leaf = BytesOf(request.cert.der);
  Bytes broken = leaf;
  broken[broken.size() - 3] ^= 0x40;

  EXPECT_EQ(Check(root), std::tuple(0, 0u, 1)) << "self-issued: verified with its own key";
  AddRoot("root", false);
  EXPECT_EQ(Check(leaf), std::tuple(-1, 30057u, 0)) << "issuer present but not trusted";
  KeyRingClear();
  AddRoot("root", true);
  EXPECT_EQ(Check(leaf), std::tuple(0, 0u, 0));
  EXPECT_EQ(Check(broken), std::tuple(-1, 30055u, 0));
}

// (Chains that climb, end or loop are climbed through GetServerRootCert.)
TEST_F(CertKeyRingTest, ClimbingStopsAtAnIssuerWithoutCertificate) {
  KeyRingEntry issuer;
  issuer.label = LabelBytes("I");
  issuer.subjectName = CnName("I");
  issuer.publicKey = Bytes{0x30, 0x00};
  ASSERT_EQ(KeyRingInsertEntry(std::move(issuer)), 0);
  const Bytes leaf = Signed(Cat({Hex("02 01 01"), kMd5WithRsa, CnName("I"), kValidity, CnName("L"), Hex("30 03 05 01 00")}));
  std::vector<std::uint8_t> root;
  std::uint32_t error = 0;
  EXPECT_EQ(std::tuple(ClimbToRoot(ItemOf(leaf), &root, &error), error, root.size()), std::tuple(-1, 30069u, 0u));
}

TEST_F(CertKeyRingTest, LoadsTheFirstTrustedKeyEntryWithACertificate) {
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(root_.signer.signerKey, "secret", sealed), 0);
  AddRoot("trusted key", true, sealed);  // inserted at the head: the last added comes first
  AddRoot("untrusted key", false, sealed);
  AddRoot("trusted, no key", true);
  SigningKey signer, wrong;
  std::uint32_t error = 0;
  ASSERT_EQ(LoadSigningKeyFromKeyRing("secret", &signer, &error), 0) << error;
  ASSERT_NE(signer.signerKey, nullptr);
  EXPECT_EQ(std::pair(BytesOf(signer.issuerCert), BytesOf(signer.issuerName)), std::pair(root, root_.signer.signerSubject));
  EXPECT_EQ(std::pair(LoadSigningKeyFromKeyRing("other", &wrong, &error), error), std::pair(-1, 30071u));
}

TEST_F(CertKeyRingTest, DecryptsPrivateKeyInfo) {
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(root_.signer.signerKey, "pw", sealed), 0);
  const Asn1Item encrypted{sealed.data(), static_cast<std::int32_t>(sealed.size())};
  Asn1Item plain{};
  std::uint32_t error = 0;
  ASSERT_EQ(DecryptPrivateKeyInfo(encrypted, "pw", &plain, &error), 0);  // openssl reads it through GetServerKey
  DerFree(&plain);
  const Bytes garbage = Hex("30 06 30 00 04 02 00 00");
  for (auto [input, password] : {std::pair(encrypted, "wrong"), std::pair(ItemOf(garbage), "pw")}) {
    EXPECT_EQ(DecryptPrivateKeyInfo(input, password, &plain, &error), -1);
    EXPECT_EQ(std::pair(error, plain.data), std::pair(30071u, static_cast<std::uint8_t*>(nullptr)));
  }
}

}  // namespace
}  // namespace kcertadm
