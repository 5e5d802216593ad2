// Building requests and certificates against independently built vectors (PKCS #7 packages: the
// host program).
#include "cert/cert_build.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "asn1/asn1.h"
#include "cert/certificate.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using namespace test;

TEST(BuildRequestOrCertificate, MatchesTheVectors) {
  EXPECT_EQ(BuildForVectorKey(false, kDec4At1603), TestData("built_request.der"));
  EXPECT_EQ(BuildForVectorKey(true, kDec4At1603), TestData("built_self_signed.der"));
  Record r;
  std::uint32_t error = 0;
  SecurityCmdContext context{};
  DnValue subject[DN_SLOT_COUNT]{};
  EXPECT_EQ(BuildRequestOrCertificateAt(subject, &r.cert, nullptr, &context, kDec4At1603,
                                        kVectorSerial, &error),
            -1);
  EXPECT_EQ(error, 30015u) << "no key pair";
  // Numbers without a digest of their own still ask for MD2.
  Asn1Item id{};
  ASSERT_EQ(BuildAlgorithmId(&id, 7), 0);
  EXPECT_EQ(BytesOf(id), Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 02 05 00"));
  DerFree(&id);
}

TEST(IssueCertificate, KeepsTheRequestsSubjectAndKey) {
  // T61String and BMPString, which this system would not choose, survive.
  const Bytes odd = Name(
      {Rdn(Hex("55 04 03"), 0x14, "T61 name"), Rdn(Hex("55 04 0A"), 0x1E, std::string("\0O", 2))});
  VectorSigner s;
  Record r(TestData("request.der"));
  std::uint32_t error = 0;
  ASSERT_EQ(ParseRequest(&r.cert, &r.fields, &error), 0) << error;
  const Bytes spki = BytesOf(r.fields.subjectPublicKeyInfo);
  r.fields.subject = ItemOf(odd);
  ASSERT_EQ(IssueCertificateAt(&s.signer, r.fields, &r.cert, 30, kDec4At1603, &error), 0);

  // (Its issuer and signature are checked through SignCert and by openssl.)
  CertFields issued;
  ASSERT_EQ(ParseCert(&r.cert, &issued, &error), 0);
  EXPECT_EQ(std::pair(BytesOf(issued.subject), BytesOf(issued.subjectPublicKeyInfo)),
            std::pair(odd, spki));
}

// What MD5 issues stays as it always was: version element, no extensions, the
// request's subject and key, the signer's name as issuer.
TEST(IssueCertificate, Md5CertificateKeepsItsBytes) {
  VectorSigner s;
  Record r(TestData("request.der"));
  std::uint32_t error = 0;
  ASSERT_EQ(ParseRequest(&r.cert, &r.fields, &error), 0) << error;
  ASSERT_EQ(IssueCertificateAt(&s.signer, r.fields, &r.cert, 30, kDec4At1603, &error), 0) << error;
  EXPECT_EQ(BytesOf(r.cert.der), TestData("built_issued.der"));
}

TEST(ParseRequest, RefusesBadSignaturesAndKeys) {
  Bytes tamperedName = TestData("built_request.der");
  const std::string org = "Vector Org";
  *std::search(tamperedName.begin(), tamperedName.end(), org.begin(), org.end()) = 'v';
  const Bytes ecKey = Hex("30 0F 30 09 06 07 2A 86 48 CE 3D 02 01 03 02 00 04");
  const Bytes rsaNoNumbers = Hex("30 13 30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00 03 02 00 04");
  const struct {
    const char* why;
    Bytes der;
    std::uint32_t want;
  } kTests[] = {
      {"subject changed after signing", tamperedName, 30055},
      {"elliptic curve key", Signed(Cat({Hex("02 01 00"), CnName("Joe"), ecKey, Hex("A0 00")})),
       30076},
      {"damaged RSA key", Signed(Cat({Hex("02 01 00"), CnName("Joe"), rsaNoNumbers, Hex("A0 00")})),
       30056},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    CertData cert{};
    cert.der = ItemOf(c.der);
    CertFields fields;
    std::uint32_t error = 0;
    EXPECT_EQ(std::pair(ParseRequest(&cert, &fields, &error), error), std::pair(-1, c.want));
  }
}

}  // namespace
}  // namespace kcertadm
