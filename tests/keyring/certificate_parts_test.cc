// Certificate-part decoders and the canonical public key form.
#include <gtest/gtest.h>

#include "keyring/certificate_parts.h"
#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using test::FakeCertificate;
using test::FromHex;
using test::Tlv;

TEST(CanonicalPublicKey, IntegersAreMinimal) {
  struct Case {
    const char* why;
    Bytes modulus;
    const char* numbers;  // the RSAPublicKey SEQUENCE
  } kTests[] = {
      {"high bit gets a zero byte", {0x80, 0x01}, "300a 0203008001 0203010001"},
      {"leading zeros are dropped", {0x00, 0x00, 0x7F, 0x01}, "3009 02027f01 0203010001"},
      {"one zero kept before a high bit", {0x00, 0xC1}, "3009 020200c1 0203010001"},
  };
  for (const Case& c : kTests) {
    std::string hex = c.numbers;
    std::erase(hex, ' ');
    Bytes bits = FromHex("00" + hex);
    Bytes content = FromHex("300d06092a864886f70d0101010500");
    Bytes bitString = Tlv(0x03, bits);
    content.insert(content.end(), bitString.begin(), bitString.end());
    EXPECT_EQ(CanonicalPublicKey(c.modulus, Bytes{0x01, 0x00, 0x01}), Tlv(0x30, content)) << c.why;
  }
}

TEST(SpkiModulusExponent, ReadsTheRsaShapeOnly) {
  Bytes cert = FakeCertificate("A", FromHex("00c0ffee"), {0x03});
  Bytes tbs, spki;
  ASSERT_EQ(CertificateParts(cert, &tbs, nullptr, nullptr), 0);
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsSubjectPublicKeyInfo] = &spki;
  ASSERT_EQ(TbsCertificateFields(tbs, fields), 0);
  ByteView modulus, exponent;
  ASSERT_EQ(SpkiModulusExponent(spki, modulus, exponent), 0);
  EXPECT_EQ(Bytes(modulus.begin(), modulus.end()), FromHex("00c0ffee")) << "contents as encoded";
  EXPECT_EQ(Bytes(exponent.begin(), exponent.end()), Bytes{0x03});

  Bytes alg = FromHex("300d06092a864886f70d0101010500");
  auto spkiWith = [&](const Bytes& bitContents) {
    Bytes c = alg;
    Bytes b = Tlv(0x03, bitContents);
    c.insert(c.end(), b.begin(), b.end());
    return Tlv(0x30, c);
  };
  struct Case {
    const char* why;
    Bytes spki;
  } kHostile[] = {
      {"unused bits", spkiWith(FromHex("01300602010102010f"))},
      {"exponent missing", spkiWith(FromHex("00300302010f"))},
      {"not a SEQUENCE inside", spkiWith(FromHex("00310602010102010f"))},
      {"inner SEQUENCE overruns the BIT STRING", spkiWith(FromHex("00300902010102010f"))},
      {"empty BIT STRING", spkiWith({})},
      {"outer length beyond the input", test::Slice(spkiWith(FromHex("00300602010102010f")), 0, 10)},
      {"not a SEQUENCE at all", FromHex("0400")},
  };
  for (const Case& c : kHostile) EXPECT_EQ(SpkiModulusExponent(c.spki, modulus, exponent), -15) << c.why;
}

TEST(CertificateParts, SplitsAndRefusesWhatDoesNotDecode) {
  Bytes cert = FakeCertificate("Leaf", FromHex("00c0ffee"), {0x03});
  Bytes tbs, algorithm, signature;
  ASSERT_EQ(CertificateParts(cert, &tbs, &algorithm, &signature), 0);
  EXPECT_EQ(algorithm, FromHex("300d06092a864886f70d0101040500"));
  EXPECT_EQ(signature, (Bytes{0x01, 0x02, 0x03})) << "without the unused-bits byte";
  for (std::size_t size = 0; size < cert.size(); ++size) {
    EXPECT_EQ(CertificateParts(test::Slice(cert, 0, size), &tbs, nullptr, nullptr), -15) << size;
  }

  Bytes version, serial, issuer, subject, trailing;
  std::array<Bytes*, kTbsFieldCount> fields{};
  fields[kTbsVersion] = &version;
  fields[kTbsSerialNumber] = &serial;
  fields[kTbsIssuer] = &issuer;
  fields[kTbsSubject] = &subject;
  ASSERT_EQ(TbsCertificateFields(tbs, fields), 0);
  EXPECT_EQ(version, Bytes{0x02});
  EXPECT_EQ(serial, Bytes{0x01});
  EXPECT_EQ(issuer, test::NameOf("Issuer"));
  EXPECT_EQ(subject, test::NameOf("Leaf"));
  fields[kTbsTrailing1] = &trailing;
  EXPECT_EQ(TbsCertificateFields(tbs, fields), -1) << "no extensions to hand out";

  // A version 1 certificate has no [0].
  Bytes v1 = tbs;
  Bytes body(v1.begin() + 2 + (v1[1] & 0x80 ? (v1[1] & 0x7F) : 0) + 5, v1.end());
  Bytes v1Tbs = Tlv(0x30, body);
  std::array<Bytes*, kTbsFieldCount> versionOnly{};
  versionOnly[kTbsVersion] = &version;
  EXPECT_EQ(TbsCertificateFields(v1Tbs, versionOnly), -1);
  std::array<Bytes*, kTbsFieldCount> serialOnly{};
  serialOnly[kTbsSerialNumber] = &serial;
  EXPECT_EQ(TbsCertificateFields(v1Tbs, serialOnly), 0);
  for (std::size_t size = 0; size < tbs.size(); ++size)
    EXPECT_EQ(TbsCertificateFields(test::Slice(tbs, 0, size), serialOnly), -15) << size;
}

}  // namespace
}  // namespace kcertadm
