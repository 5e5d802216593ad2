// Certificates against the key ring: issuer lookup and checking, climbing
// to the root, loading the signing key, decrypting private keys.
#include "cert/cert_keyring.h"

#include <gtest/gtest.h>

#include <string>

#include "asn1/asn1.h"
#include "cert/cert_build.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/signing_key.h"
#include "key_util.h"
#include "keyring/certificate_parts.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"
#include "keyring/stash.h"
#include "peer_util.h"

namespace kcertadm {
namespace {

using test::Bytes;
using test::BytesOf;
using test::Cat;
using test::Hex;
using test::Record;
using test::Tlv;

class CertKeyRingTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyRingClear(); }
  void TearDown() override { KeyRingClear(); }

  // A self-signed certificate of the vector key valid from now on.
  Bytes SelfSigned() {
    test::VectorSubject subject;
    SecurityCmdContext context{};
    context.selfSigned = 1;
    context.validDays = 365;
    Record r;
    std::uint32_t error = 0;
    EXPECT_EQ(BuildRequestOrCertificate(subject.values, &r.cert, key_.get(), &context, &error), 0);
    return BytesOf(r.cert.der);
  }

  // Signs the vector request with the vector key as issuer of selfSigned.
  Bytes IssuedBy(const Bytes& selfSigned) {
    SigningKey signer;
    Bytes issuerCert = selfSigned;
    Record issuer(selfSigned);
    CertFields issuerFields;
    std::uint32_t error = 0;
    EXPECT_EQ(ParseCert(&issuer.cert, &issuerFields, &error), 0);
    signer.signerCertificate = issuerCert;
    signer.signerSubject = BytesOf(issuerFields.subject);
    signer.issuerCert = Asn1Item{signer.signerCertificate.data(),
                                 static_cast<std::int32_t>(signer.signerCertificate.size())};
    signer.issuerName = Asn1Item{signer.signerSubject.data(),
                                 static_cast<std::int32_t>(signer.signerSubject.size())};
    signer.signerKey = test::LoadVectorKey();
    Record request(test::ReadFile(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/request.der"));
    CertFields fields;
    EXPECT_EQ(ParseRequest(&request.cert, &fields, &error), 0);
    EXPECT_EQ(IssueCertificate(&signer, fields, &request.cert, 30, &error), 0);
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

  static int Check(const Bytes& der, CertData* out = nullptr, std::uint32_t* error = nullptr) {
    Record r(der);
    CertFields fields;
    std::uint32_t e = 0;
    const int status = CheckCertificate(&r.cert, &fields, 1, error != nullptr ? error : &e);
    if (out != nullptr) out->isSelfSigned = r.cert.isSelfSigned;
    return status;
  }

  test::VectorKey key_;
};

TEST_F(CertKeyRingTest, SelfIssuedOutsideTheKeyRingVerifiesWithItsOwnKey) {
  CertData flags{};
  std::uint32_t error = 0;
  EXPECT_EQ(Check(SelfSigned(), &flags, &error), 0);
  EXPECT_EQ(flags.isSelfSigned, 1);
}

TEST_F(CertKeyRingTest, IssuerFoundAmongTrustedRoots) {
  const Bytes root = SelfSigned();
  const Bytes leaf = IssuedBy(root);
  std::uint32_t error = 0;
  EXPECT_EQ(Check(leaf, nullptr, &error), -1);
  EXPECT_EQ(error, 30057u) << "issuer not in the key ring";

  AddEntry("root", root, /*trusted=*/false);
  error = 0;
  EXPECT_EQ(Check(leaf, nullptr, &error), -1);
  EXPECT_EQ(error, 30057u) << "issuer present but not a trusted root";

  KeyRingClear();
  AddEntry("root", root, /*trusted=*/true);
  CertData flags{};
  error = 0;
  EXPECT_EQ(Check(leaf, &flags, &error), 0) << error;
  EXPECT_EQ(flags.isSelfSigned, 0);

  Bytes broken = leaf;
  broken[broken.size() - 3] ^= 0x40;
  EXPECT_EQ(Check(broken, nullptr, &error), -1);
  EXPECT_EQ(error, 30055u);
}

// A certificate with the given issuer and subject common names; signatures
// are not looked at when climbing.
Bytes Named(const std::string& issuer, const std::string& subject) {
  auto name = [](const std::string& cn) { return test::Name({test::Rdn(Hex("55 04 03"), 0x13, cn)}); };
  const Bytes algorithm = Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 04 05 00");
  const Bytes validity = Hex("30 1E 17 0D 32 36 31 32 30 34 30 30 30 30 30 30 5A"
                             "17 0D 32 37 31 32 30 34 32 33 35 39 30 30 5A");
  const Bytes tbs = Tlv(0x30, Cat({Hex("02 01 01"), algorithm, name(issuer), validity,
                                   name(subject), Hex("30 03 05 01 00")}));
  return Tlv(0x30, Cat({tbs, algorithm, Hex("03 02 00 00")}));
}

void AddNamed(const std::string& label, const Bytes& certificate, const std::string& subject) {
  KeyRingEntry entry;
  entry.label = LabelBytes(label);
  entry.subjectName = test::Name({test::Rdn(Hex("55 04 03"), 0x13, subject)});
  entry.publicKey = Bytes{0x30, 0x00};
  entry.certificates = certificate;
  ASSERT_EQ(KeyRingInsertEntry(std::move(entry)), 0);
}

TEST_F(CertKeyRingTest, ClimbsToTheRootAndEndsOnLoops) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, Bytes>> entries;  // subject, certificate
    Bytes start;
    std::uint32_t want;
    Bytes root;
  };
  const Case kTests[] = {
      {"self-issued start", {}, Named("R", "R"), 0, Named("R", "R")},
      {"two steps", {{"I", Named("R", "I")}, {"R", Named("R", "R")}}, Named("I", "L"), 0,
       Named("R", "R")},
      {"missing issuer", {{"I", Named("R", "I")}}, Named("I", "L"), 30057, {}},
      {"issuer without certificate", {{"I", Bytes{}}}, Named("I", "L"), 30069, {}},
      // A and B name each other as issuer: the walk must end.
      {"loop", {{"A", Named("B", "A")}, {"B", Named("A", "B")}}, Named("A", "L"), 30057, {}},
      {"self loop through one entry", {{"A", Named("A2", "A")}, {"A2", Named("A", "A2")}},
       Named("A", "A"), 0, Named("A", "A")},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.name);
    KeyRingClear();
    int n = 0;
    for (const auto& [subject, certificate] : c.entries) AddNamed("e" + std::to_string(n++), certificate, subject);
    Bytes start = c.start;
    std::vector<std::uint8_t> root;
    std::uint32_t error = 0;
    EXPECT_EQ(ClimbToRoot(Asn1Item{start.data(), static_cast<std::int32_t>(start.size())}, &root,
                          &error),
              c.want == 0 ? 0 : -1);
    EXPECT_EQ(error, c.want);
    EXPECT_EQ(root, c.root);
  }
}

TEST_F(CertKeyRingTest, LoadsTheFirstTrustedKeyEntryWithACertificate) {
  const Bytes root = SelfSigned();
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(key_.get(), "secret", sealed), 0);
  // Inserted at the head: the last added comes first.
  AddEntry("trusted key", root, true, sealed);
  AddEntry("untrusted key", root, false, sealed);
  AddEntry("trusted, no key", root, true);

  SigningKey signer;
  std::uint32_t error = 0;
  ASSERT_EQ(LoadSigningKeyFromKeyRing("secret", &signer, &error), 0) << error;
  EXPECT_EQ(BytesOf(signer.issuerCert), root);
  ASSERT_NE(signer.signerKey, nullptr);
  Record r(root);
  CertFields fields;
  ASSERT_EQ(ParseCert(&r.cert, &fields, &error), 0);
  EXPECT_EQ(BytesOf(signer.issuerName), BytesOf(fields.subject));

  SigningKey wrong;
  EXPECT_EQ(LoadSigningKeyFromKeyRing("other", &wrong, &error), -1);
  EXPECT_EQ(error, 30071u);

  KeyRingClear();
  AddEntry("untrusted key", root, false, sealed);
  SigningKey none;
  EXPECT_EQ(LoadSigningKeyFromKeyRing("secret", &none, &error), -1);
  EXPECT_EQ(error, 30035u);
}

TEST_F(CertKeyRingTest, LoadSigningKeyOpensTheKeyRingFile) {
  const Bytes root = SelfSigned();
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(key_.get(), "secret", sealed), 0);
  AddEntry("ca", root, true, sealed);
  test::TempDir dir;
  const std::string path = dir.Path("ca.kyr");
  ASSERT_EQ(KeyRingWrite(path, std::string_view("secret")), 0);
  ASSERT_EQ(StashWrite(path, "secret"), 0);
  KeyRingClear();

  struct Case {
    const char* name;
    std::string file;
    const char* password;
    int useStash;
    std::uint32_t want;
  };
  const Case kTests[] = {
      {"right password", path, "secret", 0, 0},
      {"stashed password", path, "", 1, 0},
      {"wrong password", path, "wrong", 0, 30009},
      {"wrong password despite stash", path, "wrong", 1, 30009},
      {"no such file", dir.Path("none.kyr"), "secret", 0, 30010},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.name);
    SecurityCmdContext context{};
    context.keyFile = c.file.c_str();
    context.password = c.password;
    context.useStash = c.useStash;
    SigningKey signer;
    std::uint32_t error = 0;
    EXPECT_EQ(LoadSigningKey(&context, &signer, &error), c.want == 0 ? 0 : -1);
    if (c.want != 0) {
      EXPECT_EQ(error, c.want);
    } else {
      EXPECT_EQ(BytesOf(signer.issuerCert), root);
    }
  }
}

TEST_F(CertKeyRingTest, DecryptsPrivateKeyInfo) {
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(key_.get(), "pw", sealed), 0);
  Asn1Item encrypted{sealed.data(), static_cast<std::int32_t>(sealed.size())};
  Asn1Item plain{};
  std::uint32_t error = 0;
  ASSERT_EQ(DecryptPrivateKeyInfo(encrypted, "pw", &plain, &error), 0);
  const auto numbers = DecryptPrivateKeyNumbers(ByteView(sealed.data(), sealed.size()), "pw");
  ASSERT_TRUE(numbers.has_value());
  const SecureBytes want = EncodePrivateKeyInfo(*numbers);
  EXPECT_EQ(Bytes(plain.data, plain.data + plain.length), Bytes(want.begin(), want.end()));
  DerFree(&plain);

  EXPECT_EQ(DecryptPrivateKeyInfo(encrypted, "wrong", &plain, &error), -1);
  EXPECT_EQ(error, 30071u);
  EXPECT_EQ(plain.data, nullptr);
  Bytes garbage = Hex("30 06 30 00 04 02 00 00");
  error = 0;
  EXPECT_EQ(DecryptPrivateKeyInfo(Asn1Item{garbage.data(), 8}, "pw", &plain, &error), -1);
  EXPECT_EQ(error, 30071u);
}

}  // namespace
}  // namespace kcertadm
