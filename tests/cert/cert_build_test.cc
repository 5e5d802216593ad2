// Building requests, self-signed and issued certificates and PKCS #7
// packages; exact bytes against vectors built independently.
#include "cert/cert_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/dn.h"
#include "cert/signing_key.h"
#include "der_util.h"
#include "host_interface/library_state.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using test::BytesOf;
using test::Bytes;
using test::kDec4At1603;
using test::Record;
using test::VectorKey;
using test::VectorSigner;
using test::VectorSubject;
using test::Cat;
using test::Hex;
using test::Tlv;


Bytes Vector(const std::string& name) {
  return test::ReadFile(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/" + name);
}

TEST(BuildAlgorithmId, OidWithNullParameter) {
  struct Case {
    std::int32_t algorithm;
    std::string want;
  };
  const Case kTests[] = {
      {0, "30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00"},
      {2, "30 0D 06 09 2A 86 48 86 F7 0D 01 01 04 05 00"},
      {1, "30 0D 06 09 2A 86 48 86 F7 0D 01 01 02 05 00"},
      {3, "30 0D 06 09 2A 86 48 86 F7 0D 01 01 02 05 00"},  // never SHA-1
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.algorithm);
    Asn1Item out{};
    ASSERT_EQ(BuildAlgorithmId(&out, c.algorithm), 0);
    EXPECT_EQ(test::ToHex(BytesOf(out)), c.want);
    DerFree(&out);
  }
}

TEST(BuildRequestOrCertificate, RequestMatchesTheVector) {
  VectorKey key;
  ASSERT_NE(key.get(), nullptr);
  VectorSubject subject;
  ASSERT_TRUE(subject.ok);
  SecurityCmdContext context{};
  context.validDays = 365;
  Record r;
  std::uint32_t error = 0;
  ASSERT_EQ(BuildRequestOrCertificateAt(subject.values, &r.cert, key.get(), &context, kDec4At1603,
                                        &error),
            0);
  const Bytes der = BytesOf(r.cert.der);
  EXPECT_EQ(test::ToHex(der), test::ToHex(Vector("built_request.der")));
  // 30 .. 30 .. 02 01 00 ..., attributes A0 00 at the end of the info.
  ASSERT_GT(r.cert.tbs.length, 4);
  EXPECT_EQ(test::ToHex(Bytes(r.cert.tbs.data + r.cert.tbs.length - 2,
                              r.cert.tbs.data + r.cert.tbs.length)),
            "A0 00");
  CertFields fields;
  ASSERT_EQ(ParseRequest(&r.cert, &fields, &error), 0);
  EXPECT_EQ(test::ToHex(BytesOf(fields.version)), "02 01 00");
  EXPECT_EQ(BytesOf(fields.subject), BytesOf(r.cert.subjectDer));
  EXPECT_EQ(BytesOf(fields.subjectPublicKeyInfo), BytesOf(r.cert.publicKeyInfoDer));
}

TEST(BuildRequestOrCertificate, SelfSignedMatchesTheVector) {
  VectorKey key;
  VectorSubject subject;
  SecurityCmdContext context{};
  context.selfSigned = 1;
  context.validDays = 365;
  Record r;
  std::uint32_t error = 0;
  ASSERT_EQ(BuildRequestOrCertificateAt(subject.values, &r.cert, key.get(), &context, kDec4At1603,
                                        &error),
            0);
  EXPECT_EQ(test::ToHex(BytesOf(r.cert.der)), test::ToHex(Vector("built_self_signed.der")));
  CertFields fields;
  ASSERT_EQ(ParseCert(&r.cert, &fields, &error), 0);
  EXPECT_EQ(IsSelfIssued(fields), 1);
  EXPECT_EQ(test::ToHex(BytesOf(fields.version)), "A0 03 02 01 02");
  Asn1Item serial = fields.serialNumber;
  ASSERT_GT(Asn1Enter(&serial), 0);
  EXPECT_EQ(Asn1SmallInteger(serial), static_cast<std::uint32_t>(kDec4At1603));
  EXPECT_EQ(SignatureDigestId(fields.signatureAlgorithm), 2);
  KeyObject* own = nullptr;
  ASSERT_EQ(PublicKeyFromSpki(fields.subjectPublicKeyInfo, &own, &error), 0);
  EXPECT_EQ(VerifySignature(fields, own, &error), 0);
  DestroyKey(&own);
}

TEST(BuildRequestOrCertificate, FailuresReportTheirMessage) {
  SecurityCmdContext context{};
  Record r;
  std::uint32_t error = 0;
  // No key pair: nothing can be put into the request.
  VectorSubject subject;
  EXPECT_EQ(BuildRequestOrCertificateAt(subject.values, &r.cert, nullptr, &context, kDec4At1603,
                                        &error),
            -1);
  EXPECT_EQ(error, 30015u);
  EXPECT_EQ(r.cert.der.data, nullptr);
}

TEST(IssueCertificate, KeepsTheRequestsSubjectAndKey) {
  // The request's subject uses T61String and BMPString, which this system
  // would not choose; its octets must survive unchanged.
  Bytes request = Vector("request.der");
  const Bytes odd = Tlv(0x30, Cat({test::Rdn(Hex("55 04 03"), 0x14, "T61 name"),
                                   test::Rdn(Hex("55 04 0A"), 0x1E, std::string("\0O", 2))}));
  VectorSigner s;
  CertFields fields;
  std::uint32_t error = 0;
  Record r;
  r.cert.der = Asn1Item{static_cast<std::uint8_t*>(std::malloc(request.size())),
                        static_cast<std::int32_t>(request.size())};
  std::memcpy(r.cert.der.data, request.data(), request.size());
  ASSERT_EQ(ParseRequest(&r.cert, &fields, &error), 0) << error;
  const Bytes spki = BytesOf(fields.subjectPublicKeyInfo);
  Bytes subjectStorage = odd;
  fields.subject = Asn1Item{subjectStorage.data(), static_cast<std::int32_t>(subjectStorage.size())};
  ASSERT_EQ(IssueCertificateAt(&s.signer, fields, &r.cert, 30, kDec4At1603, &error), 0);

  CertFields issued;
  ASSERT_EQ(ParseCert(&r.cert, &issued, &error), 0);
  EXPECT_EQ(BytesOf(issued.subject), odd);
  EXPECT_EQ(BytesOf(issued.subjectPublicKeyInfo), spki);
  EXPECT_EQ(BytesOf(issued.issuer), s.signer.signerSubject);
  KeyObject* signerPublic = nullptr;
  CertFields signerFields;
  ASSERT_EQ(ParseCert(&s.self.cert, &signerFields, &error), 0);
  ASSERT_EQ(PublicKeyFromSpki(signerFields.subjectPublicKeyInfo, &signerPublic, &error), 0);
  EXPECT_EQ(VerifySignature(issued, signerPublic, &error), 0);
  DestroyKey(&signerPublic);
}

TEST(IssueCertificate, RefusesToOutliveTheSigner) {
  VectorSigner s;  // valid until 2027-12-04 23:59
  Bytes request = Vector("request.der");
  Record r;
  r.cert.der = Asn1Item{static_cast<std::uint8_t*>(std::malloc(request.size())),
                        static_cast<std::int32_t>(request.size())};
  std::memcpy(r.cert.der.data, request.data(), request.size());
  CertFields fields;
  std::uint32_t error = 0;
  ASSERT_EQ(ParseRequest(&r.cert, &fields, &error), 0);
  EXPECT_EQ(IssueCertificateAt(&s.signer, fields, &r.cert, 366, kDec4At1603, &error), -1);
  EXPECT_EQ(error, 30075u);
  EXPECT_EQ(IssueCertificateAt(&s.signer, fields, &r.cert, 365, kDec4At1603, &error), 0);
}

TEST(ParseRequest, RefusesBadSignaturesAndKeys) {
  Bytes good = Vector("built_request.der");
  struct Case {
    const char* why;
    Bytes der;
    std::uint32_t want;
  };
  Bytes flipped = good;
  flipped[flipped.size() - 1] ^= 0x01;  // last signature octet
  Bytes tamperedName = good;
  const std::string org = "Vector Org";
  auto at = std::search(tamperedName.begin(), tamperedName.end(), org.begin(), org.end());
  *at = 'v';
  const Case kTests[] = {
      {"signature changed", flipped, 30055},
      {"subject changed after signing", tamperedName, 30055},
      {"not a request", Hex("30 03 02 01 00"), 30045},
      {"elliptic curve key",
       Tlv(0x30, Cat({Tlv(0x30, Cat({Hex("02 01 00"), Hex("30 0E 31 0C 30 0A 06 03 55 04 03 13 03 4A 6F 65"),
                                     Hex("30 0F 30 09 06 07 2A 86 48 CE 3D 02 01 03 02 00 04"),
                                     Hex("A0 00")})),
                      Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 04 05 00 03 02 00 00")})),
       30056},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Bytes der = c.der;
    CertData cert{};
    cert.der = Asn1Item{der.data(), static_cast<std::int32_t>(der.size())};
    CertFields fields;
    std::uint32_t error = 0;
    EXPECT_EQ(ParseRequest(&cert, &fields, &error), -1);
    EXPECT_EQ(error, c.want);
  }
}

TEST(PackagePkcs7, WrapsTheCertificate) {
  for (std::size_t n : {std::size_t{5}, std::size_t{300}}) {
    SCOPED_TRACE(n);
    Bytes certificate = Tlv(0x30, Bytes(n - (n < 130 ? 2 : 4), 0xAB));
    ASSERT_EQ(certificate.size(), n);
    Record r;
    r.cert.der = Asn1Item{static_cast<std::uint8_t*>(std::malloc(n)), static_cast<std::int32_t>(n)};
    std::memcpy(r.cert.der.data, certificate.data(), n);
    ASSERT_EQ(PackagePkcs7(&r.cert), 0);
    const Bytes want = Tlv(
        0x30, Cat({Hex("06 09 2A 86 48 86 F7 0D 01 07 02"),
                   Tlv(0xA0, Tlv(0x30, Cat({Hex("02 01 01 31 00 30 0B 06 09 2A 86 48 86 F7 0D 01 07 01"),
                                            Tlv(0xA0, certificate), Hex("31 00")})))}));
    EXPECT_EQ(test::ToHex(BytesOf(r.cert.pkcs7)), test::ToHex(want));
  }
}

TEST(PackagePkcs7, UnwrapsBackToTheCertificate) {
  Record r;
  Bytes ca = Vector("v3_ca.der");
  r.cert.der = Asn1Item{static_cast<std::uint8_t*>(std::malloc(ca.size())),
                        static_cast<std::int32_t>(ca.size())};
  std::memcpy(r.cert.der.data, ca.data(), ca.size());
  ASSERT_EQ(PackagePkcs7(&r.cert), 0);
  Bytes package = BytesOf(r.cert.pkcs7);
  CertData back{};
  back.der = Asn1Item{package.data(), static_cast<std::int32_t>(package.size())};
  CertFields fields;
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&back, &fields, &error), 0);
  EXPECT_EQ(BytesOf(back.der), ca);
  EXPECT_EQ(NextCertInSet(&back), 0);
}

}  // namespace
}  // namespace kcertadm
