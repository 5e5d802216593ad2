// Certificate parsing: field views, container unwrapping and hostile input.
#include "cert/certificate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::Tlv;

using test::BytesOf;
using test::ItemOf;
using test::kMd5WithRsa;
using test::kValidity;
using test::Signed;
using test::TestData;

// A record that owns a malloc copy of the bytes, as the host hands it over.
struct OwnedRecord : test::Record {
  explicit OwnedRecord(const Bytes& bytes) : Record(bytes) {}
  CertFields fields{};
};

const Bytes kName = test::CnName("Joe");

TEST(ParseCert, FieldViewsOfVersionThreeAndOne) {
  const struct { const char* file; std::string version, serial; int digest, selfIssued; bool extensions; } kTests[] = {
      {"v3_ca.der", "A0 03 02 01 02", "02 02 12 34", 2, 1, true},
      {"v1_leaf.der", "", "02 0A 01 02 03 04 05 06 07 08 09 0A", 3, 0, false},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.file);
    OwnedRecord r(TestData(c.file));
    std::uint32_t error = 0;
    ASSERT_EQ(ParseCert(&r.cert, &r.fields, &error), 0);
    EXPECT_EQ(r.cert.container.data, nullptr);
    EXPECT_EQ(test::ToHex(BytesOf(r.fields.version)) + "|" + test::ToHex(BytesOf(r.fields.serialNumber)),
              c.version + "|" + c.serial);
    EXPECT_EQ(std::tuple(SignatureDigestId(r.fields.signatureAlgorithm), IsSelfIssued(r.fields),
                         r.fields.extensions.length > 0, r.fields.whole.length, r.fields.signatureValue.length),
              std::tuple(c.digest, c.selfIssued, c.extensions, r.cert.der.length, 128));  // no unused-bits octet
  }
}

TEST(ParseCert, UnwrapsContainersCertificateByCertificate) {
  const struct { const char* file; int count; } kTests[] = {{"three.p7b", 3}, {"nseq.der", 2}};
  const Bytes ca = TestData("v3_ca.der"), leaf = TestData("v1_leaf.der");
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.file);
    OwnedRecord r(TestData(c.file));
    std::uint32_t error = 0;
    int seen = 0;
    do {
      ASSERT_EQ(ParseCert(&r.cert, &r.fields, &error), 0) << seen;
      const Bytes der = BytesOf(r.cert.der);
      EXPECT_TRUE(der == ca || der == leaf) << seen;
      ++seen;
    } while (NextCertInSet(&r.cert) == 1);
    EXPECT_EQ(seen, c.count);
    EXPECT_EQ(NextCertInSet(&r.cert), 0);
  }
}

TEST(ParseCert, ContainerShapes) {
  const Bytes cert = Signed(Cat({Hex("02 01 01"), kMd5WithRsa, kName, kValidity, kName, Hex("30 03 05 01 00")}));
  const Bytes signedDataOid = Hex("06 09 2A 86 48 86 F7 0D 01 07 02");
  const Bytes dataInfo = Hex("30 0B 06 09 2A 86 48 86 F7 0D 01 07 01");
  auto p7 = [&](const Bytes& inner) {
    return Tlv(0x30, Cat({signedDataOid, Tlv(0xA0, Tlv(0x30, inner))}));
  };
  const struct { const char* why; Bytes der; bool ok; } kTests[] = {
      {"empty signerInfos is accepted",
       p7(Cat({Hex("02 01 01 31 00"), dataInfo, Tlv(0xA0, cert), Hex("31 00")})), true},
      {"CRLs between certificates and signerInfos",
       p7(Cat({Hex("02 01 01 31 00"), dataInfo, Tlv(0xA0, cert), Hex("A1 00 31 00")})), true},
      {"no certificates", p7(Cat({Hex("02 01 01 31 00"), dataInfo, Hex("31 00")})), false},
      {"no signerInfos", p7(Cat({Hex("02 01 01 31 00"), dataInfo, Tlv(0xA0, cert)})), false},
      {"empty certificates", p7(Cat({Hex("02 01 01 31 00"), dataInfo, Hex("A0 00 31 00")})), false},
      {"unknown content type",
       Tlv(0x30, Cat({Hex("06 09 2A 86 48 86 F7 0D 01 07 03"), Tlv(0xA0, Hex("30 00"))})), false},
      {"empty certificate sequence",
       Tlv(0x30, Cat({Hex("06 09 60 86 48 01 86 F8 42 02 05"), Tlv(0xA0, Hex("30 00"))})), false},
      {"a container inside a container",
       Tlv(0x30, Cat({Hex("06 09 60 86 48 01 86 F8 42 02 05"),
                      Tlv(0xA0, Tlv(0x30, Tlv(0x30, Cat({signedDataOid, Tlv(0xA0, Hex("30 00"))}))))})),
       false},
      {"certificate with unused bits in the signature",
       Tlv(0x30, Cat({Tlv(0x30, Cat({Hex("02 01 01"), kMd5WithRsa, kName, kValidity, kName,
                                     Hex("30 03 05 01 00")})),
                      kMd5WithRsa, Hex("03 02 01 00")})),
       false},
      {"tbs without subject public key info",
       Signed(Cat({Hex("02 01 01"), kMd5WithRsa, kName, kValidity, kName})), false},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    OwnedRecord r(c.der);
    std::uint32_t error = 0;
    EXPECT_EQ(ParseCert(&r.cert, &r.fields, &error) == 0, c.ok);
    EXPECT_EQ(error, c.ok ? 0u : 30046u);
  }
}

TEST(ParseTbs, UniqueIdentifiersDoNotHideExtensions) {
  const Bytes extension = Hex("30 0C 30 0A 06 03 55 1D 13 04 03 30 01 FF");
  const Bytes der = Signed(Cat({Hex("A0 03 02 01 02 02 01 07"), kMd5WithRsa, kName, kValidity, kName,
                                Hex("30 03 05 01 00"), Hex("81 02 00 AA 82 02 00 BB"), Tlv(0xA3, extension)}));
  OwnedRecord r(der);
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&r.cert, &r.fields, &error), 0);
  EXPECT_EQ(test::ToHex(BytesOf(r.fields.extensions)), "30 0A 06 03 55 1D 13 04 03 30 01 FF");
}

// Every truncation of a real certificate is refused without reading past it.
TEST(ParseCert, EveryTruncationFails) {
  const Bytes full = TestData("v3_ca.der");
  for (std::size_t n = 0; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    OwnedRecord r(cut);
    std::uint32_t error = 0;
    ASSERT_NE(ParseCert(&r.cert, &r.fields, &error), 0) << n;
    EXPECT_EQ(error, 30046u);
  }
}

TEST(FreeCertData, ReleasesEveryOwnedBlockAndClears) {
  CertData cert{};
  auto block = [](std::size_t n) { return static_cast<std::uint8_t*>(std::calloc(n, 1)); };
  cert.owned0 = block(4);
  for (Asn1Item* item : {&cert.der, &cert.certText, &cert.tbs, &cert.reqText, &cert.pkcs7, &cert.subjectDer,
                         &cert.publicKeyInfoDer, &cert.micText})
    *item = Asn1Item{block(8), 8};
  cert.procTypeLine = reinterpret_cast<char*>(block(8));
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
  auto key = [](const Bytes& modulus) { return Cat({Hex("00"), Tlv(0x30, Cat({Tlv(0x02, modulus), Hex("02 03 01 00 01")}))}); };
  const struct { const char* name; Bytes spki; std::string modulus; /* empty: refused */ } kTests[] = {
      {"leading zero dropped", spki(rsa, key(Hex("00 C1 02"))), "C1 02"},
      {"only one zero dropped", spki(rsa, key(Hex("00 00 C1"))), "00 C1"},
      {"elliptic curve key", spki(Hex("2A 86 48 CE 3D 02 01"), key(Hex("41 02"))), ""},
      {"bit string with unused bits", spki(rsa, Hex("01 30 00")), ""},
      {"missing exponent", spki(rsa, Cat({Hex("00"), Tlv(0x30, Hex("02 01 41"))})), ""},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    Bytes der = c.spki;
    RsaPublicKeyParts parts;
    ASSERT_EQ(ExtractRsaKey(ItemOf(der), &parts), c.modulus.empty() ? -1 : 0);
    if (!c.modulus.empty())
      EXPECT_EQ(test::ToHex(Cat({BytesOf(parts.modulus), BytesOf(parts.exponent)})), c.modulus + " 01 00 01");
  }
}

TEST(SignatureDigestId, WholeAlgorithmIdentifiers) {
  const struct { const char* name; Bytes id; int want; } kTests[] = {
      {"md2", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 02 05 00"), 1},
      {"sha1 OIW", Hex("30 09 06 05 2B 0E 03 02 1D 05 00"), 3},
      {"md5 without NULL", Hex("30 0B 06 09 2A 86 48 86 F7 0D 01 01 04"), -1},
      {"sha256", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 0B 05 00"), -1},
      {"md5 with trailing octet", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 04 05 00 00"), -1},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    Bytes id = c.id;
    EXPECT_EQ(SignatureDigestId(ItemOf(id)), c.want);
  }
}

}  // namespace
}  // namespace kcertadm
