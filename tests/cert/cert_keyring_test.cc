// Certificates against the key ring: issuers, chains, the signing key, private keys.
#include "commands/cert_keyring.h"

#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

#include "asn1/asn1.h"
#include "asn1/der_append.h"
#include "asn1/oids.h"
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

// A self-issued certificate whose algorithm cannot be checked is told apart from one whose
// signature is wrong; one whose key is not RSA cannot be stored, checked or not.
TEST_F(CertKeyRingTest, UnsupportedAlgorithmsAndKeyTypesHaveTheirOwnMessages) {
  Record parsed(root);
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&parsed.cert, &parsed.fields, &error), 0);
  const Bytes rsaKey = BytesOf(parsed.fields.subjectPublicKeyInfo);
  auto self = [](const Bytes& algorithm, const Bytes& spki) {
    const Bytes tbs = Cat({Hex("A0 03 02 01 02 02 01 01"), algorithm, CnName("Self"), kValidity,
                           CnName("Self"), spki});
    return Tlv(0x30, Cat({Tlv(0x30, tbs), algorithm, Tlv(0x03, Hex("00 01 02 03"))}));
  };
  auto keyOf = [](const Bytes& algorithm) {
    return Tlv(0x30, Cat({Tlv(0x30, algorithm), Tlv(0x03, Bytes(33, 0))}));
  };
  const Bytes ecdsaWithSha256 = Hex("30 0A 06 08 2A 86 48 CE 3D 04 03 02");
  const Bytes ecKey =
      keyOf(Hex("06 07 2A 86 48 CE 3D 02 01 06 08 2A 86 48 CE 3D 03 01 07"));  // P-256
  const struct {
    const char* why;
    Bytes der;
    int verify;
    std::uint32_t want;
  } kTests[] = {
      {"sha224WithRSAEncryption", self(Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0E 05 00"), rsaKey),
       1, 30077},
      {"RSASSA-PSS", self(Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0A 30 00"), rsaKey), 1, 30077},
      {"ecdsa-with-SHA256", self(ecdsaWithSha256, rsaKey), 1, 30077},
      {"MD5 with RSA, signature wrong", self(kMd5WithRsa, rsaKey), 1, 30055},
      {"elliptic-curve key", self(ecdsaWithSha256, ecKey), 0, 30076},
      {"DSA key", self(kMd5WithRsa, keyOf(Hex("06 07 2A 86 48 CE 38 04 01"))), 0, 30076},
      {"Ed25519 key, checked", self(Hex("30 05 06 03 2B 65 70"), keyOf(Hex("06 03 2B 65 70"))), 1,
       30076},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    Record r(c.der);
    error = 0;
    EXPECT_EQ(std::pair(CheckCertificate(&r.cert, &r.fields, c.verify, &error), error),
              std::pair(-1, c.want));
  }
}

// (Chains that climb, end or loop are climbed through GetServerRootCert.)
TEST_F(CertKeyRingTest, ClimbingStopsAtAnIssuerWithoutCertificate) {
  KeyRingEntry issuer;
  issuer.label = LabelBytes("I");
  issuer.subjectName = CnName("I");
  issuer.publicKey = Bytes{0x30, 0x00};
  ASSERT_EQ(KeyRingInsertEntry(std::move(issuer)), 0);
  const Bytes leaf = Signed(Cat(
      {Hex("02 01 01"), kMd5WithRsa, CnName("I"), kValidity, CnName("L"), Hex("30 03 05 01 00")}));
  std::vector<std::uint8_t> found;
  std::uint32_t error = 0;
  EXPECT_EQ(std::tuple(ClimbToRoot(ItemOf(leaf), &found, &error), error, found.size()),
            std::tuple(-1, 30069u, 0u));
}

TEST_F(CertKeyRingTest, LoadsTheFirstTrustedKeyEntryWithACertificate) {
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(root_.signer.signerKey.get(), "secret", sealed), 0);
  AddRoot("trusted key", true, sealed);  // inserted at the head: the last added comes first
  AddRoot("untrusted key", false, sealed);
  AddRoot("trusted, no key", true);
  SigningKey signer, wrong;
  std::uint32_t error = 0;
  ASSERT_EQ(LoadSigningKeyFromKeyRing("secret", &signer, &error), 0) << error;
  ASSERT_NE(signer.signerKey.get(), nullptr);
  EXPECT_EQ(std::pair(BytesOf(signer.issuerCert), BytesOf(signer.issuerName)),
            std::pair(root, root_.signer.signerSubject));
  EXPECT_EQ(std::pair(LoadSigningKeyFromKeyRing("other", &wrong, &error), error),
            std::pair(-1, 30071u));
}

TEST_F(CertKeyRingTest, DecryptsPrivateKeyInfo) {
  SecureBytes sealed;
  ASSERT_EQ(EncryptPrivateKey(root_.signer.signerKey.get(), "pw", sealed), 0);
  const Asn1Item encrypted{sealed.data(), static_cast<std::int32_t>(sealed.size())};
  Asn1Item plain{};
  std::uint32_t error = 0;
  ASSERT_EQ(DecryptPrivateKeyInfo(encrypted, "pw", &plain, &error),
            0);  // openssl reads it through GetServerKey
  DerFree(&plain);
  const Bytes garbage = Hex("30 06 30 00 04 02 00 00");
  for (auto [input, password] : {std::pair(encrypted, "wrong"), std::pair(ItemOf(garbage), "pw")}) {
    EXPECT_EQ(DecryptPrivateKeyInfo(input, password, &plain, &error), -1);
    EXPECT_EQ(std::pair(error, plain.data), std::pair(30071u, static_cast<std::uint8_t*>(nullptr)));
  }
}

// An EncryptedPrivateKeyInfo sealed under "pw" whose iteration count is
// encoded as the INTEGER content count, the key derived with iterations.
SecureBytes SealWithCount(const Bytes& count, std::uint32_t iterations) {
  const std::uint8_t salt[kPbeSaltSize] = {1, 2, 3, 4, 5, 6, 7, 8};
  PbeKey key;
  DerivePbeKey("pw", salt, iterations, key);
  const Bytes privateKeyInfo = Hex("30 03 02 01 00");
  const SecureBytes cipher = PbeEncrypt(key, privateKeyInfo);
  Bytes parameter, algorithm, content, out;
  der::Append(parameter, der::kOctetString, salt);
  der::Append(parameter, der::kInteger, count);
  der::Append(algorithm, der::kOid, oid::kPbeMd2Des);
  der::Append(algorithm, der::kSequence, parameter);
  der::Append(content, der::kSequence, algorithm);
  der::Append(content, der::kOctetString, der::View(cipher.data(), cipher.size()));
  der::Append(out, der::kSequence, content);
  return SecureBytes(out.begin(), out.end());
}

// A negative iteration count is refused by both decrypting paths; the
// service path used to read FD as 253 iterations and decrypt.
TEST(SealedKeyIterations, NegativeCountsAreRefusedEverywhere) {
  const struct {
    const char* why;
    Bytes count;
    std::uint32_t iterations;
    int status;
  } kTests[] = {
      {"positive count decrypts", Hex("7F"), 127, 0},
      {"leading zero before a high bit is positive", Hex("00 FD"), 253, 0},
      {"one-octet negative count must be refused", Hex("FD"), 253, -1},
      {"two-octet negative count must be refused", Hex("FF 7F"), 0xFF7F, -1},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    SecureBytes sealed = SealWithCount(c.count, c.iterations);
    Asn1Item plain{};
    std::uint32_t error = 0;
    const Asn1Item item = Asn1View(sealed.data(), sealed.size());
    EXPECT_EQ(DecryptPrivateKeyInfo(item, "pw", &plain, &error), c.status);
    EXPECT_EQ(DecryptSealedKey(sealed, "pw", der::kIndefiniteAsEmpty).has_value(), c.status == 0);
    if (c.status == 0) {
      EXPECT_EQ(BytesOf(plain), Hex("30 03 02 01 00"));
    }
    DerFree(&plain);
  }
}

}  // namespace
}  // namespace kcertadm
