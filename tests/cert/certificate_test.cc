// Certificate parsing: field views, container unwrapping and hostile input.
#include "cert/certificate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using namespace test;

const Bytes kName = CnName("Joe");
const Bytes kNoKey = Hex("30 03 05 01 00");

TEST(ParseCert, FieldViewsOfVersionThreeAndOne) {
  const struct {
    const char* file;
    Bytes version, serial;
    int digest, selfIssued;
    bool extensions;
  } kTests[] = {
      {"v3_ca.der", Hex("A0 03 02 01 02"), Hex("02 02 12 34"), 2, 1, true},
      {"v1_leaf.der", {}, Hex("02 0A 01 02 03 04 05 06 07 08 09 0A"), 3, 0, false},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.file);
    Record r(TestData(c.file));
    std::uint32_t error = 0;
    ASSERT_EQ(ParseCert(&r.cert, &r.fields, &error), 0);
    EXPECT_EQ(r.cert.container.data, nullptr);
    EXPECT_EQ(std::pair(BytesOf(r.fields.version), BytesOf(r.fields.serialNumber)),
              std::pair(c.version, c.serial));
    EXPECT_EQ(std::tuple(SignatureDigestId(r.fields.signatureAlgorithm), IsSelfIssued(r.fields),
                         r.fields.extensions.length > 0, r.fields.whole.length,
                         r.fields.signatureValue.length),
              std::tuple(c.digest, c.selfIssued, c.extensions, r.cert.der.length,
                         128));  // no unused-bits octet
  }
  // Unique identifiers between the key and the extensions are skipped.
  const Bytes extension = Hex("30 0A 06 03 55 1D 13 04 03 30 01 FF");
  Record r(Signed(Cat({Hex("A0 03 02 01 02 02 01 07"), kMd5WithRsa, kName, kValidity, kName, kNoKey,
                       Hex("81 02 00 AA 82 02 00 BB"), Tlv(0xA3, Tlv(0x30, extension))})));
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&r.cert, &r.fields, &error), 0);
  EXPECT_EQ(BytesOf(r.fields.extensions), extension);
}

TEST(ParseCert, ContainerShapesAndHostileInput) {
  const Bytes tbs = Cat({Hex("02 01 01"), kMd5WithRsa, kName, kValidity, kName, kNoKey}),
              cert = Signed(tbs);
  const Bytes signedData = Hex("06 09 2A 86 48 86 F7 0D 01 07 02"),
              nseq = Hex("06 09 60 86 48 01 86 F8 42 02 05");
  auto p7 = [&](const Bytes& certificates, const Bytes& rest) {
    return Tlv(
        0x30,
        Cat({signedData,
             Tlv(0xA0, Tlv(0x30, Cat({Hex("02 01 01 31 00 30 0B 06 09 2A 86 48 86 F7 0D 01 07 01"),
                                      certificates, rest})))}));
  };
  const struct {
    const char* why;
    Bytes der;
    bool ok;
  } kTests[] = {
      {"empty signerInfos is accepted", p7(Tlv(0xA0, cert), Hex("31 00")), true},
      {"CRLs between certificates and signerInfos", p7(Tlv(0xA0, cert), Hex("A1 00 31 00")), true},
      {"no certificates", p7({}, Hex("31 00")), false},
      {"no signerInfos", p7(Tlv(0xA0, cert), {}), false},
      {"empty certificates", p7(Hex("A0 00"), Hex("31 00")), false},
      {"unknown content type",
       Tlv(0x30, Cat({Hex("06 09 2A 86 48 86 F7 0D 01 07 03"), Tlv(0xA0, Hex("30 00"))})), false},
      {"empty certificate sequence", Tlv(0x30, Cat({nseq, Tlv(0xA0, Hex("30 00"))})), false},
      // Containers do not nest: no unbounded recursion.
      {"a container inside a container",
       Tlv(0x30,
           Cat({nseq,
                Tlv(0xA0, Tlv(0x30, Tlv(0x30, Cat({signedData, Tlv(0xA0, Hex("30 00"))}))))})),
       false},
      {"unused bits in the signature",
       Tlv(0x30, Cat({Tlv(0x30, tbs), kMd5WithRsa, Hex("03 02 01 00")})), false},
      {"tbs without subject public key info",
       Signed(Cat({Hex("02 01 01"), kMd5WithRsa, kName, kValidity, kName})), false},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    Record r(c.der);
    std::uint32_t error = 0;
    EXPECT_EQ(std::pair(ParseCert(&r.cert, &r.fields, &error) == 0, error),
              std::pair(c.ok, c.ok ? 0u : 30046u));
  }
  // Every truncation of a real certificate is refused without reading past it.
  const Bytes full = TestData("v3_ca.der");
  for (std::size_t n = 0; n < full.size(); ++n) {
    Record r(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
    std::uint32_t error = 0;
    ASSERT_EQ(std::pair(ParseCert(&r.cert, &r.fields, &error), error), std::pair(-1, 30046u)) << n;
  }
}

TEST(FreeCertData, ReleasesEveryOwnedBlockAndClears) {
  CertData cert{};
  auto block = [] { return static_cast<std::uint8_t*>(std::calloc(8, 1)); };
  cert.owned0 = block();
  for (Asn1Item* item : {&cert.der, &cert.certText, &cert.tbs, &cert.reqText, &cert.pkcs7,
                         &cert.subjectDer, &cert.publicKeyInfoDer, &cert.micText})
    *item = Asn1Item{block(), 8};
  cert.procTypeLine = reinterpret_cast<char*>(block());
  std::uint8_t fileText[4] = {};
  cert.fileText = Asn1Item{fileText, 4};  // transient, not the record's
  FreeCertData(&cert);
  EXPECT_EQ(std::tuple(cert.der.data, cert.procTypeLine, cert.fileText.data),
            std::tuple(nullptr, nullptr, static_cast<std::uint8_t*>(fileText)));
  FreeCertData(&cert);  // a second release finds nothing to free
  FreeCertData(nullptr);
}

TEST(ExtractRsaKey, DropsOneLeadingZero) {
  const Bytes rsa = Hex("2A 86 48 86 F7 0D 01 01 01");
  auto spki = [](const Bytes& oid, const Bytes& bits) {
    return Tlv(0x30, Cat({Tlv(0x30, Cat({Tlv(0x06, oid), Hex("05 00")})), Tlv(0x03, bits)}));
  };
  auto key = [](const Bytes& modulus) {
    return Cat({{0}, Tlv(0x30, Cat({Tlv(0x02, modulus), Hex("02 03 01 00 01")}))});
  };
  const struct {
    const char* name;
    Bytes spki;
    Bytes modulus; /* empty: refused */
  } kTests[] = {
      {"leading zero dropped", spki(rsa, key(Hex("00 C1 02"))), Hex("C1 02")},
      {"only one zero dropped", spki(rsa, key(Hex("00 00 C1"))), Hex("00 C1")},
      {"elliptic curve key", spki(Hex("2A 86 48 CE 3D 02 01"), key(Hex("41 02"))), {}},
      {"bit string with unused bits", spki(rsa, Hex("01 30 00")), {}},
      {"missing exponent", spki(rsa, Cat({{0}, Tlv(0x30, Hex("02 01 41"))})), {}},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    RsaPublicNumbers numbers;
    const bool read = ExtractRsaKey(ItemOf(c.spki), &numbers) == 0;
    const Bytes modulus(numbers.modulus.begin(), numbers.modulus.end()),
        exponent(numbers.publicExponent.begin(), numbers.publicExponent.end());
    EXPECT_EQ(read ? Cat({modulus, exponent}) : Bytes{},
              c.modulus.empty() ? Bytes{} : Cat({c.modulus, Hex("01 00 01")}));
  }
}

TEST(SignatureDigestId, WholeAlgorithmIdentifiers) {
  const struct {
    const char* name;
    Bytes id;
    int want;
  } kTests[] = {
      {"md2", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 02 05 00"), 1},
      {"sha1 OIW", Hex("30 09 06 05 2B 0E 03 02 1D 05 00"), 3},
      {"md5 without NULL", Hex("30 0B 06 09 2A 86 48 86 F7 0D 01 01 04"), -1},
      {"sha256", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0B 05 00"), 4},
      {"sha384", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0C 05 00"), 5},
      {"sha512", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0D 05 00"), 6},
      {"sha256 without NULL", Hex("30 0B 06 09 2A 86 48 86 F7 0D 01 01 0B"), -1},
      {"sha224", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0E 05 00"), -1},
      {"md5 with trailing octet", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 04 05 00 00"), -1},
  };
  for (const auto& c : kTests) EXPECT_EQ(SignatureDigestId(ItemOf(c.id)), c.want) << c.name;
}

}  // namespace
}  // namespace kcertadm
