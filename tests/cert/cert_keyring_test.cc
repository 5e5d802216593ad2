// Certificates against the key ring: issuer lookup and checking, climbing
// to the root, loading the signing key, decrypting private keys. (Loading
// the signing key from a key ring file is covered by the SignCert command.)
#include "cert/cert_keyring.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <tuple>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/certificate.h"
#include "cert/signing_key.h"
#include "key_util.h"
#include "keyring/certificate_parts.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using test::Bytes;
using test::BytesOf;
using test::Cat;
using test::Hex;
using test::Record;

class CertKeyRingTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyRingClear(); }
  void TearDown() override { KeyRingClear(); }

  // The vector request issued now by the vector key's root.
  Bytes Issued() {
    Record request(test::TestData("request.der"));
    CertFields fields;
    std::uint32_t error = 0;
    EXPECT_EQ(ParseRequest(&request.cert, &fields, &error), 0);
    EXPECT_EQ(IssueCertificate(&root_.signer, fields, &request.cert, 30, &error), 0);
    return BytesOf(request.cert.der);
  }

  // A certificate entry for a DER certificate.
  static void AddEntry(const std::string& label, const Bytes& certificate, bool trusted,
                       const SecureBytes& privateKey = {}) {
    Record r(certificate);
    CertFields fields;
    std::uint32_t error = 0;
    ASSERT_EQ(ParseCert(&r.cert, &fields, &error), 0);
    KeyRingEntry entry;
    entry.label = LabelBytes(label);
    entry.subjectName = BytesOf(fields.subject);
    const auto key = CanonicalPublicKeyFromSpki(
        ByteView(fields.subjectPublicKeyInfo.data, fields.subjectPublicKeyInfo.length));
    entry.publicKey = key.value_or(Bytes{0x30, 0x00});
    entry.certificates = certificate;
    entry.privateKey = privateKey;
    entry.flags = trusted ? 1 : 0;
    ASSERT_EQ(KeyRingInsertEntry(std::move(entry)), 0);
  }

  // CheckCertificate's status; its message in *error, whether it found
  // the certificate self-signed in *selfSigned.
  static int Check(const Bytes& der, std::uint32_t* error, int* selfSigned = nullptr) {
    Record r(der);
    CertFields fields;
    *error = 0;
    const int status = CheckCertificate(&r.cert, &fields, 1, error);
    if (selfSigned != nullptr) *selfSigned = r.cert.isSelfSigned;
    return status;
  }

  // The vector key's self-signed certificate, valid from now on.
  test::VectorSigner root_{std::time(nullptr)};
  const Bytes root = BytesOf(root_.self.cert.der);
};

TEST_F(CertKeyRingTest, IssuerFoundAmongTrustedRoots) {
  std::uint32_t error = 0;
  int selfSigned = -1;
  EXPECT_EQ(Check(root, &error, &selfSigned), 0) << "self-issued: verified with its own key";
  EXPECT_EQ(selfSigned, 1);

  const Bytes leaf = Issued();
  EXPECT_EQ(Check(leaf, &error), -1);
  EXPECT_EQ(error, 30057u) << "issuer not in the key ring";
  AddEntry("root", root, /*trusted=*/false);
  EXPECT_EQ(Check(leaf, &error), -1) << "issuer present but not a trusted root";

  KeyRingClear();
  AddEntry("root", root, /*trusted=*/true);
  EXPECT_EQ(Check(leaf, &error, &selfSigned), 0) << error;
  EXPECT_EQ(selfSigned, 0);
  Bytes broken = leaf;
  broken[broken.size() - 3] ^= 0x40;
  EXPECT_EQ(Check(broken, &error), -1);
  EXPECT_EQ(error, 30055u);
}

// A certificate with the given issuer and subject common names; signatures
// are not looked at when climbing.
Bytes Named(const std::string& issuer, const std::string& subject) {
  return test::Signed(Cat({Hex("02 01 01"), test::kMd5WithRsa, test::CnName(issuer), test::kValidity,
                           test::CnName(subject), Hex("30 03 05 01 00")}));
}

TEST_F(CertKeyRingTest, ClimbsToTheRootAndEndsOnLoops) {
  // Entries as subject and certificate.
  const struct { const char* name; std::vector<std::pair<std::string, Bytes>> entries; Bytes start; std::uint32_t want; Bytes root; } kTests[] = {
      {"self-issued start", {}, Named("R", "R"), 0, Named("R", "R")},
      {"two steps", {{"I", Named("R", "I")}, {"R", Named("R", "R")}}, Named("I", "L"), 0, Named("R", "R")},
      {"missing issuer", {{"I", Named("R", "I")}}, Named("I", "L"), 30057, {}},
      {"issuer without certificate", {{"I", Bytes{}}}, Named("I", "L"), 30069, {}},
      // A and B name each other as issuer: the walk must end.
      {"loop", {{"A", Named("B", "A")}, {"B", Named("A", "B")}}, Named("A", "L"), 30057, {}},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    KeyRingClear();
    int n = 0;
    for (const auto& [subject, certificate] : c.entries) {
      KeyRingEntry entry;
      entry.label = LabelBytes("e" + std::to_string(n++));
      entry.subjectName = test::CnName(subject);
      entry.publicKey = Bytes{0x30, 0x00};
      entry.certificates = certificate;
      ASSERT_EQ(KeyRingInsertEntry(std::move(entry)), 0);
    }
    Bytes start = c.start;
    std::vector<std::uint8_t> root;
    std::uint32_t error = 0;
    const int status = ClimbToRoot(test::ItemOf(start), &root, &error);
    EXPECT_EQ(std::tuple(status, error, root), std::tuple(c.want == 0 ? 0 : -1, c.want, c.root));
  }
}

TEST_F(CertKeyRingTest, LoadsTheFirstTrustedKeyEntryWithACertificate) {
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(root_.signer.signerKey, "secret", sealed), 0);
  // Inserted at the head: the last added comes first.
  AddEntry("trusted key", root, true, sealed);
  AddEntry("untrusted key", root, false, sealed);
  AddEntry("trusted, no key", root, true);

  SigningKey signer;
  std::uint32_t error = 0;
  ASSERT_EQ(LoadSigningKeyFromKeyRing("secret", &signer, &error), 0) << error;
  ASSERT_NE(signer.signerKey, nullptr);
  EXPECT_EQ(std::pair(BytesOf(signer.issuerCert), BytesOf(signer.issuerName)), std::pair(root, root_.signer.signerSubject));

  SigningKey wrong;
  EXPECT_EQ(LoadSigningKeyFromKeyRing("other", &wrong, &error), -1);
  EXPECT_EQ(error, 30071u);

  KeyRingClear();
  AddEntry("untrusted key", root, false, sealed);
  SigningKey none;
  EXPECT_EQ(LoadSigningKeyFromKeyRing("secret", &none, &error), -1);
  EXPECT_EQ(error, 30035u);
}

TEST_F(CertKeyRingTest, DecryptsPrivateKeyInfo) {
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(root_.signer.signerKey, "pw", sealed), 0);
  Asn1Item encrypted{sealed.data(), static_cast<std::int32_t>(sealed.size())};
  Asn1Item plain{};
  std::uint32_t error = 0;
  ASSERT_EQ(DecryptPrivateKeyInfo(encrypted, "pw", &plain, &error), 0);
  const auto numbers = DecryptPrivateKeyNumbers(ByteView(sealed.data(), sealed.size()), "pw");
  ASSERT_TRUE(numbers.has_value());
  const SecureBytes want = EncodePrivateKeyInfo(*numbers);
  EXPECT_EQ(Bytes(plain.data, plain.data + plain.length), Bytes(want.begin(), want.end()));
  DerFree(&plain);
  Bytes garbage = Hex("30 06 30 00 04 02 00 00");
  for (auto [input, password] : {std::pair(encrypted, "wrong"), std::pair(test::ItemOf(garbage), "pw")}) {
    error = 0;
    EXPECT_EQ(DecryptPrivateKeyInfo(input, password, &plain, &error), -1);
    EXPECT_EQ(std::pair(error, plain.data), std::pair(30071u, static_cast<std::uint8_t*>(nullptr)));
  }
}

}  // namespace
}  // namespace kcertadm
