// Certificate-part decoders and the canonical public key form.
#include "keyring/certificate_parts.h"

#include "keyring/keyring_test_util.h"

namespace kcertadm {
namespace {

using namespace test;

// A SubjectPublicKeyInfo of the RSA algorithm around the BIT STRING contents.
Bytes SpkiWith(const std::string& bitContents) {
  return Tlv(0x30, Cat({Hex("300d06092a864886f70d0101010500"), Tlv(0x03, Hex(bitContents))}));
}

TEST(CanonicalPublicKey, IntegersAreMinimal) {
  const struct {
    const char* why;
    Bytes modulus;
    const char* numbers;
  } kTests[] = {
      {"high bit gets a zero byte", {0x80, 0x01}, "00300a02030080010203010001"},
      {"leading zeros are dropped", {0x00, 0x00, 0x7F, 0x01}, "00300902027f010203010001"},
      {"one zero kept before a high bit", {0x00, 0xC1}, "0030090202 00c10203010001"},
  };
  for (const auto& c : kTests)
    EXPECT_EQ(CanonicalPublicKey({c.modulus, Bytes{0x01, 0x00, 0x01}}), SpkiWith(c.numbers))
        << c.why;
}

TEST(SpkiModulusExponent, ReadsTheRsaShapeOnly) {
  RsaPublicNumbers key;
  const ByteView &modulus = key.modulus, &exponent = key.publicExponent;
  const Bytes spki = SpkiWith("003007020200c0020103");  // the views point into it
  ASSERT_EQ(SpkiModulusExponent(spki, key), 0);
  EXPECT_EQ(
      std::pair(Bytes(modulus.begin(), modulus.end()), Bytes(exponent.begin(), exponent.end())),
      std::pair(Hex("00c0"), Bytes{0x03}))
      << "contents as encoded";
  const struct {
    const char* why;
    Bytes spki;
  } kHostile[] = {
      {"unused bits", SpkiWith("01300602010102010f")},
      {"exponent missing", SpkiWith("00300302010f")},
      {"not a SEQUENCE inside", SpkiWith("00310602010102010f")},
      {"inner SEQUENCE overruns the BIT STRING", SpkiWith("00300902010102010f")},
      {"empty BIT STRING", SpkiWith("")},
      {"outer length beyond the input", Slice(SpkiWith("00300602010102010f"), 0, 10)},
  };
  for (const auto& c : kHostile) EXPECT_EQ(SpkiModulusExponent(c.spki, key), -15) << c.why;
}

TEST(CertificateParts, SplitsAndRefusesEveryTruncation) {
  const Bytes cert = FakeCertificate("Leaf", Hex("00c0ffee"), {0x03});
  Bytes tbs, algorithm, signature, version, serial, subject, trailing;
  ASSERT_EQ(CertificateParts(cert, &tbs, &algorithm, &signature), 0);
  EXPECT_EQ(std::pair(algorithm, signature), std::pair(kMd5WithRsa, Hex("010203")))
      << "without the unused-bits byte";
  for (std::size_t size = 0; size < cert.size(); ++size)
    EXPECT_EQ(CertificateParts(Slice(cert, 0, size), &tbs, nullptr, nullptr), -15) << size;

  std::array<Bytes*, kTbsFieldCount> fields{}, serialOnly{}, versionOnly{};
  fields[kTbsVersion] = versionOnly[kTbsVersion] = &version;
  fields[kTbsSerialNumber] = serialOnly[kTbsSerialNumber] = &serial;
  fields[kTbsSubject] = &subject;
  ASSERT_EQ(TbsCertificateFields(tbs, fields), 0);
  EXPECT_EQ(std::tuple(version, serial, subject),
            std::tuple(Bytes{0x02}, Bytes{0x01}, CnName("Leaf")));
  fields[kTbsTrailing1] = &trailing;
  EXPECT_EQ(TbsCertificateFields(tbs, fields), -1) << "no extensions to hand out";
  for (std::size_t size = 0; size < tbs.size(); ++size)
    EXPECT_EQ(TbsCertificateFields(Slice(tbs, 0, size), serialOnly), -15) << size;

  // A version 1 certificate has no [0]: the serial number comes first.
  const Bytes v1Tbs =
      Tlv(0x30, Bytes(tbs.begin() + 2 + (tbs[1] & 0x80 ? (tbs[1] & 0x7F) : 0) + 5, tbs.end()));
  serial.clear();
  EXPECT_EQ(TbsCertificateFields(v1Tbs, serialOnly), 0);
  EXPECT_EQ(serial, Bytes{0x01});
  EXPECT_EQ(TbsCertificateFields(v1Tbs, versionOnly), -1);
}

}  // namespace
}  // namespace kcertadm
