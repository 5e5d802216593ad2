// Building requests, self-signed and issued certificates and PKCS #7
// packages; exact bytes against vectors built independently.
#include "cert/cert_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "cert/signing_key.h"
#include "der_util.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using test::BytesOf;
using test::Bytes;
using test::Cat;
using test::Hex;
using test::kDec4At1603;
using test::Record;
using test::TestData;
using test::Tlv;

// Signatures made here never use SHA-1: its identifier asks for MD2.
TEST(BuildAlgorithmId, NeverSha1) {
  Asn1Item out{};
  ASSERT_EQ(BuildAlgorithmId(&out, 3), 0);
  EXPECT_EQ(test::ToHex(BytesOf(out)), "30 0D 06 09 2A 86 48 86 F7 0D 01 01 02 05 00");
  DerFree(&out);
}

TEST(BuildRequestOrCertificate, RequestAndSelfSignedMatchTheVectors) {
  EXPECT_EQ(test::ToHex(test::BuildForVectorKey(false, kDec4At1603)), test::ToHex(TestData("built_request.der")));
  EXPECT_EQ(test::ToHex(test::BuildForVectorKey(true, kDec4At1603)), test::ToHex(TestData("built_self_signed.der")));
}

TEST(BuildRequestOrCertificate, NoKeyPairIsRefused) {
  SecurityCmdContext context{};
  Record r;
  std::uint32_t error = 0;
  test::VectorSubject subject;
  EXPECT_EQ(BuildRequestOrCertificateAt(subject.values, &r.cert, nullptr, &context, kDec4At1603, &error), -1);
  EXPECT_EQ(error, 30015u);
  EXPECT_EQ(r.cert.der.data, nullptr);
}

TEST(IssueCertificate, KeepsTheRequestsSubjectAndKey) {
  // The request's subject uses T61String and BMPString, which this system
  // would not choose; its octets must survive unchanged.
  Bytes odd = Tlv(0x30, Cat({test::Rdn(Hex("55 04 03"), 0x14, "T61 name"),
                             test::Rdn(Hex("55 04 0A"), 0x1E, std::string("\0O", 2))}));
  test::VectorSigner s;
  Record r(TestData("request.der"));
  CertFields fields;
  std::uint32_t error = 0;
  ASSERT_EQ(ParseRequest(&r.cert, &fields, &error), 0) << error;
  const Bytes spki = BytesOf(fields.subjectPublicKeyInfo);
  fields.subject = test::ItemOf(odd);
  ASSERT_EQ(IssueCertificateAt(&s.signer, fields, &r.cert, 30, kDec4At1603, &error), 0);

  CertFields issued, signerFields;
  ASSERT_EQ(ParseCert(&r.cert, &issued, &error), 0);
  EXPECT_EQ(BytesOf(issued.subject), odd);
  EXPECT_EQ(BytesOf(issued.subjectPublicKeyInfo), spki);
  EXPECT_EQ(BytesOf(issued.issuer), s.signer.signerSubject);
  KeyObject* signerPublic = nullptr;
  ASSERT_EQ(ParseCert(&s.self.cert, &signerFields, &error), 0);
  ASSERT_EQ(PublicKeyFromSpki(signerFields.subjectPublicKeyInfo, &signerPublic, &error), 0);
  EXPECT_EQ(VerifySignature(issued, signerPublic, &error), 0);
  DestroyKey(&signerPublic);
}

TEST(ParseRequest, RefusesBadSignaturesAndKeys) {
  Bytes good = TestData("built_request.der");
  Bytes flipped = good;
  flipped.back() ^= 0x01;  // last signature octet
  Bytes tamperedName = good;
  const std::string org = "Vector Org";
  *std::search(tamperedName.begin(), tamperedName.end(), org.begin(), org.end()) = 'v';
  const struct { const char* why; Bytes der; std::uint32_t want; } kTests[] = {
      {"signature changed", flipped, 30055},
      {"subject changed after signing", tamperedName, 30055},
      {"not a request", Hex("30 03 02 01 00"), 30045},
      {"elliptic curve key",
       Tlv(0x30, Cat({Tlv(0x30, Cat({Hex("02 01 00"), test::CnName("Joe"),
                                     Hex("30 0F 30 09 06 07 2A 86 48 CE 3D 02 01 03 02 00 04"), Hex("A0 00")})),
                      test::kMd5WithRsa, Hex("03 02 00 00")})),
       30056},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    Bytes der = c.der;
    CertData cert{};
    cert.der = test::ItemOf(der);
    CertFields fields;
    std::uint32_t error = 0;
    EXPECT_EQ(std::pair(ParseRequest(&cert, &fields, &error), error), std::pair(-1, c.want));
  }
}

TEST(PackagePkcs7, WrapsTheCertificate) {
  for (std::size_t n : {std::size_t{5}, std::size_t{300}}) {
    SCOPED_TRACE(n);
    const Bytes certificate = Tlv(0x30, Bytes(n - (n < 130 ? 2 : 4), 0xAB));
    Record r(certificate);
    ASSERT_EQ(PackagePkcs7(&r.cert), 0);
    const Bytes want = Tlv(
        0x30, Cat({Hex("06 09 2A 86 48 86 F7 0D 01 07 02"),
                   Tlv(0xA0, Tlv(0x30, Cat({Hex("02 01 01 31 00 30 0B 06 09 2A 86 48 86 F7 0D 01 07 01"),
                                            Tlv(0xA0, certificate), Hex("31 00")})))}));
    EXPECT_EQ(test::ToHex(BytesOf(r.cert.pkcs7)), test::ToHex(want));
  }
}

}  // namespace
}  // namespace kcertadm
