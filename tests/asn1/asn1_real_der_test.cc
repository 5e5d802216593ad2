// Certificates, requests and containers made by other tools
// (tests/data/asn1/make_samples.sh) decode into the parts those tools report.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/hex_util.h"

namespace kcertadm {
namespace {

using testing::BytesOf;
using testing::Hex;
using testing::ItemOf;
using Bytes = std::vector<std::uint8_t>;

Bytes Sample(const std::string& name) {
  std::ifstream in(std::string(KCERTADM_TEST_DATA_DIR) + "/asn1/" + name, std::ios::binary);
  Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

// {SEQUENCE to-be-signed, SEQUENCE algorithm, BIT STRING signature}: the
// to-be-signed part and the signature octets match the peer's.
Asn1Item SplitSigned(const Bytes& der, const std::string& base) {
  Asn1Item tbs{}, algorithm{}, signature{};
  const Asn1TemplateEntry kSigned[] = {
      {kAsn1Sequence, &tbs}, {kAsn1Sequence, &algorithm}, {kAsn1BitString, &signature}};
  EXPECT_EQ(Asn1TotalSize(ItemOf(der)), static_cast<std::int32_t>(der.size()));
  EXPECT_EQ(Asn1DecodeTemplate(kSigned, 3, ItemOf(der), 0), 0);
  EXPECT_EQ(Asn1UnwrapBitString(&signature), 0);
  EXPECT_EQ(BytesOf(tbs), Sample(base + ".tbs"));
  EXPECT_EQ(BytesOf(signature), Sample(base + ".sig"));
  return tbs;
}

TEST(Asn1RealDer, CertificatesSplitIntoTheirFields) {
  for (const std::string base : {"cert1", "cert2", "cert3"}) {
    SCOPED_TRACE(base);
    const Bytes der = Sample(base + ".der");
    Asn1Item version{}, serial{}, algorithm{}, issuer{}, validity{}, subject{}, spki{}, unique1{},
        unique2{}, extensions{};
    const Asn1TemplateEntry kTbs[] = {
        {kAsn1Context0 | ASN1_OPTIONAL, &version}, {kAsn1Integer, &serial},
        {kAsn1Sequence, &algorithm},               {kAsn1Sequence, &issuer},
        {kAsn1Sequence, &validity},                {kAsn1Sequence, &subject},
        {kAsn1Sequence, &spki},                    {kAsn1Context1 | ASN1_OPTIONAL, &unique1},
        {kAsn1Context2 | ASN1_OPTIONAL, &unique2}, {kAsn1Context3 | ASN1_OPTIONAL, &extensions}};
    ASSERT_EQ(Asn1DecodeTemplate(kTbs, 10, SplitSigned(der, base), 0), 0);
    EXPECT_EQ(BytesOf(version), Hex("A0 03 02 01 02"));
    EXPECT_EQ(BytesOf(subject), Sample(base + ".subject"));
    EXPECT_EQ(BytesOf(issuer), Sample(base + ".issuer"));
    EXPECT_EQ(BytesOf(spki), Sample(base + ".spki"));
    EXPECT_GT(extensions.length, 0) << "openssl adds v3 extensions";
  }
}

TEST(Asn1RealDer, RequestSplitsIntoItsFields) {
  Asn1Item version{}, subject{}, spki{}, attributes{};
  const Asn1TemplateEntry kInfo[] = {{kAsn1Integer, &version}, {kAsn1Sequence, &subject},
                                     {kAsn1Sequence, &spki}, {kAsn1Context0 | ASN1_OPTIONAL, &attributes}};
  const Bytes der = Sample("req.der");
  ASSERT_EQ(Asn1DecodeTemplate(kInfo, 4, SplitSigned(der, "req"), 0), 0);
  EXPECT_EQ(BytesOf(version), Hex("02 01 00"));
  EXPECT_EQ(BytesOf(subject), Sample("req.subject"));
  EXPECT_EQ(BytesOf(spki), Sample("req.spki"));
  EXPECT_EQ(BytesOf(attributes), Hex("A0 00"));
}

// The content of a PKCS #7 SignedData ContentInfo.
Asn1Item SignedDataContent(const Bytes& der) {
  Asn1Item content = ItemOf(der), type{}, explicitContent{};
  EXPECT_EQ(Asn1TotalSize(content), static_cast<std::int32_t>(der.size()));
  EXPECT_GT(Asn1Enter(&content), 0);
  const Asn1TemplateEntry kContentInfo[] = {{kAsn1ObjectId, &type}, {kAsn1Context0, &explicitContent}};
  EXPECT_EQ(Asn1DecodeTemplate(kContentInfo, 2, content, 1), 0);
  EXPECT_EQ(BytesOf(type), Hex("2A 86 48 86 F7 0D 01 07 02"));
  EXPECT_GT(Asn1Enter(&explicitContent), 0);
  return explicitContent;
}

TEST(Asn1RealDer, Pkcs7CertificatesInOrder) {
  const Bytes der = Sample("p7.der");
  Asn1Item version{}, digests{}, inner{}, certificates{}, signers{};
  const Asn1TemplateEntry kSignedData[] = {{kAsn1Integer, &version}, {kAsn1Set, &digests},
                                           {kAsn1Sequence, &inner}, {kAsn1Context0, &certificates},
                                           {kAsn1Set, &signers}};
  ASSERT_EQ(Asn1DecodeTemplate(kSignedData, 5, SignedDataContent(der), 1), 0);
  Bytes expected;
  for (const char* name : {"cert1.der", "cert2.der", "cert3.der"}) {
    const Bytes cert = Sample(name);
    expected.insert(expected.end(), cert.begin(), cert.end());
  }
  EXPECT_EQ(BytesOf(certificates), expected);
}

// Counts the elements of a tree, entering every constructed one.
int CountElements(const Asn1Item& content, std::uint32_t tag) {
  int count = 0;
  Asn1Cursor cursor;
  std::int32_t step = Asn1FirstChild(content, tag, &cursor);
  for (; step > 0; step = Asn1NextChild(&cursor)) count += 1 + CountElements(Asn1CursorItem(cursor), cursor.tag);
  return step < 0 ? -1000000 : count;
}

TEST(Asn1RealDer, StreamingBerWithIndefiniteLengths) {
  const Bytes ber = Sample("ber.der");
  ASSERT_EQ(Hex("30 80"), Bytes(ber.begin(), ber.begin() + 2));
  // SignedData with the signer's certificate and a signer info.
  EXPECT_GT(CountElements(SignedDataContent(ber), kAsn1Sequence), 50);
}

}  // namespace
}  // namespace kcertadm
