// Certificates, requests and containers made by other tools decode into the
// structure those tools report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/hex_util.h"
#include "kcertadm.h"

namespace kcertadm {
namespace {

using testing::BytesOf;
using testing::Hex;
using testing::ItemOf;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Sample(const std::string& name) {
  Bytes bytes = ReadFile(std::string(KCERTADM_TEST_DATA_DIR) + "/asn1/" + name);
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

struct Signed {
  Asn1Item tbs{}, algorithm{}, signature{};
};

// {SEQUENCE to-be-signed, SEQUENCE algorithm, BIT STRING signature}.
bool SplitSigned(const Asn1Item& der, Signed* out) {
  const Asn1TemplateEntry kSigned[] = {
      {kAsn1Sequence, &out->tbs}, {kAsn1Sequence, &out->algorithm}, {kAsn1BitString, &out->signature}};
  return Asn1DecodeTemplate(kSigned, 3, der, 0) == 0 && Asn1UnwrapBitString(&out->signature) == 0;
}

struct Tbs {
  Asn1Item version{}, serial{}, algorithm{}, issuer{}, validity{}, subject{}, spki{}, unique1{},
      unique2{}, extensions{}, notBefore{}, notAfter{};
};

bool ParseTbs(const Asn1Item& tbs, Tbs* out) {
  const Asn1TemplateEntry kTbs[] = {
      {kAsn1Context0 | ASN1_OPTIONAL, &out->version}, {kAsn1Integer, &out->serial},
      {kAsn1Sequence, &out->algorithm},               {kAsn1Sequence, &out->issuer},
      {kAsn1Sequence, &out->validity},                {kAsn1Sequence, &out->subject},
      {kAsn1Sequence, &out->spki},                    {kAsn1Context1 | ASN1_OPTIONAL, &out->unique1},
      {kAsn1Context2 | ASN1_OPTIONAL, &out->unique2}, {kAsn1Context3 | ASN1_OPTIONAL, &out->extensions}};
  if (Asn1DecodeTemplate(kTbs, 10, tbs, 0) != 0) return false;
  const Asn1TemplateEntry kValidity[] = {{kAsn1UtcTime, &out->notBefore},
                                         {kAsn1UtcTime, &out->notAfter}};
  return Asn1DecodeTemplate(kValidity, 2, out->validity, 0) == 0;
}

TEST(Asn1RealDer, CertificatesSplitIntoTheirFields) {
  for (const char* name : {"cert1", "cert2", "cert3"}) {
    SCOPED_TRACE(name);
    const std::string base = name;
    const Bytes der = Sample(base + ".der");
    ASSERT_EQ(Asn1TotalSize(ItemOf(der)), static_cast<std::int32_t>(der.size()));
    Signed parts;
    ASSERT_TRUE(SplitSigned(ItemOf(der), &parts));
    EXPECT_EQ(BytesOf(parts.tbs), Sample(base + ".tbs"));
    EXPECT_EQ(BytesOf(parts.signature), Sample(base + ".sig"));
    Tbs tbs;
    ASSERT_TRUE(ParseTbs(parts.tbs, &tbs));
    EXPECT_EQ(BytesOf(tbs.version), Hex("A0 03 02 01 02"));
    EXPECT_EQ(BytesOf(tbs.subject), Sample(base + ".subject"));
    EXPECT_EQ(BytesOf(tbs.issuer), Sample(base + ".issuer"));
    EXPECT_EQ(BytesOf(tbs.spki), Sample(base + ".spki"));
    EXPECT_EQ(tbs.unique1.length, 0);
    EXPECT_EQ(tbs.algorithm.length, parts.algorithm.length);
    EXPECT_GT(tbs.extensions.length, 0) << "openssl adds v3 extensions";
    EXPECT_EQ(tbs.notBefore.data[0], kAsn1UtcTime);
    EXPECT_EQ(tbs.notAfter.data[0], base == "cert3" ? kAsn1GeneralizedTime : kAsn1UtcTime);
  }
  // cert2 has serial 0x80, which needs a leading zero octet.
  Signed parts;
  const Bytes cert2 = Sample("cert2.der");
  ASSERT_TRUE(SplitSigned(ItemOf(cert2), &parts));
  Tbs tbs;
  ASSERT_TRUE(ParseTbs(parts.tbs, &tbs));
  EXPECT_EQ(BytesOf(tbs.serial), Hex("02 02 00 80"));
}

TEST(Asn1RealDer, RequestSplitsIntoItsFields) {
  const Bytes der = Sample("req.der");
  Signed parts;
  ASSERT_TRUE(SplitSigned(ItemOf(der), &parts));
  EXPECT_EQ(BytesOf(parts.tbs), Sample("req.tbs"));
  EXPECT_EQ(BytesOf(parts.signature), Sample("req.sig"));
  Asn1Item version{}, subject{}, spki{}, attributes{};
  const Asn1TemplateEntry kInfo[] = {{kAsn1Integer, &version}, {kAsn1Sequence, &subject},
                                     {kAsn1Sequence, &spki}, {kAsn1Context0 | ASN1_OPTIONAL, &attributes}};
  ASSERT_EQ(Asn1DecodeTemplate(kInfo, 4, parts.tbs, 0), 0);
  EXPECT_EQ(BytesOf(version), Hex("02 01 00"));
  EXPECT_EQ(BytesOf(subject), Sample("req.subject"));
  EXPECT_EQ(BytesOf(spki), Sample("req.spki"));
  EXPECT_EQ(BytesOf(attributes), Hex("A0 00"));

  // The RSA key inside: {SEQUENCE algorithm, BIT STRING {SEQUENCE {n, e}}}.
  Asn1Item algorithm{}, key = spki;
  const Asn1TemplateEntry kSpki[] = {{kAsn1Sequence, &algorithm}, {kAsn1BitString, &key}};
  ASSERT_EQ(Asn1DecodeTemplate(kSpki, 2, spki, 0), 0);
  ASSERT_EQ(Asn1UnwrapBitString(&key), 0);
  Asn1Item modulus{}, exponent{};
  const Asn1TemplateEntry kRsa[] = {{kAsn1Integer, &modulus}, {kAsn1Integer, &exponent}};
  ASSERT_EQ(Asn1Enter(&key), key.length);
  ASSERT_EQ(Asn1DecodeTemplate(kRsa, 2, key, 1), 0);
  EXPECT_EQ(modulus.length, 129) << "1024-bit modulus with its sign octet";
  EXPECT_EQ(Asn1SmallInteger(exponent), 65537u);
}

TEST(Asn1RealDer, Pkcs7CertificatesInOrder) {
  const Bytes der = Sample("p7.der");
  Asn1Item content = ItemOf(der);
  ASSERT_EQ(Asn1PeekTag(kAsn1Sequence, &content, 1), 1);
  Asn1Item type{}, explicitContent{};
  const Asn1TemplateEntry kContentInfo[] = {{kAsn1ObjectId, &type}, {kAsn1Context0, &explicitContent}};
  ASSERT_EQ(Asn1DecodeTemplate(kContentInfo, 2, content, 1), 0);
  const Bytes signedData = Hex("2A 86 48 86 F7 0D 01 07 02");
  EXPECT_EQ(Asn1ItemEquals(type, signedData.data(), 9), 1);

  ASSERT_EQ(Asn1Enter(&explicitContent), explicitContent.length);
  Asn1Item version{}, digests{}, inner{}, certificates{}, signers{};
  const Asn1TemplateEntry kSignedData[] = {{kAsn1Integer, &version}, {kAsn1Set, &digests},
                                           {kAsn1Sequence, &inner}, {kAsn1Context0, &certificates},
                                           {kAsn1Set, &signers}};
  ASSERT_EQ(Asn1DecodeTemplate(kSignedData, 5, explicitContent, 1), 0);
  EXPECT_EQ(signers.length, 0);

  Asn1Item source = certificates;
  for (const char* name : {"cert1.der", "cert2.der", "cert3.der"}) {
    const std::int32_t total = Asn1TotalSize(source);
    ASSERT_GT(total, 0);
    EXPECT_EQ(Bytes(source.data, source.data + total), Sample(name));
    Asn1Item ignored{};
    ASSERT_EQ(Asn1NextTagged(&source, &ignored, kAsn1Sequence), 1);
  }
  EXPECT_EQ(source.length, 0);
}

// Counts the elements of a tree, entering every constructed one.
int CountElements(const Asn1Item& content, std::uint32_t tag) {
  int count = 0;
  Asn1Cursor cursor;
  std::int32_t step = Asn1FirstChild(content, tag, &cursor);
  for (; step > 0; step = Asn1NextChild(&cursor)) {
    count += 1 + CountElements(Asn1CursorItem(cursor), cursor.tag);
  }
  return step < 0 ? -1000000 : count;
}

TEST(Asn1RealDer, StreamingBerWithIndefiniteLengths) {
  const Bytes ber = Sample("ber.der");
  ASSERT_EQ(Hex("30 80"), Bytes(ber.begin(), ber.begin() + 2));
  EXPECT_EQ(Asn1TotalSize(ItemOf(ber)), static_cast<std::int32_t>(ber.size()));
  Asn1Item content = ItemOf(ber);
  ASSERT_GT(Asn1Enter(&content), 0);
  Asn1Item type{}, explicitContent{};
  const Asn1TemplateEntry kContentInfo[] = {{kAsn1ObjectId, &type}, {kAsn1Context0, &explicitContent}};
  ASSERT_EQ(Asn1DecodeTemplate(kContentInfo, 2, content, 1), 0);
  EXPECT_EQ(BytesOf(type), Hex("2A 86 48 86 F7 0D 01 07 02"));
  // SignedData with the signer's certificate and a signer info.
  EXPECT_GT(CountElements(content, kAsn1Sequence), 50);
}

// Every certificate of the machine's CA bundle decodes.
TEST(Asn1RealDer, MachineCaBundle) {
  const Bytes bundle = ReadFile("/etc/ssl/certs/ca-certificates.crt");
  if (bundle.empty()) GTEST_SKIP() << "no CA bundle on this machine";
  const std::string text(bundle.begin(), bundle.end());
  const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
  int decoded = 0;
  for (std::size_t at = text.find(begin); at != std::string::npos; at = text.find(begin, at)) {
    const std::size_t bodyStart = at + begin.size();
    const std::size_t bodyEnd = text.find(end, bodyStart);
    ASSERT_NE(bodyEnd, std::string::npos);
    Asn1Item der{};
    ASSERT_GT(Base64Decode(text.data() + bodyStart, static_cast<std::int32_t>(bodyEnd - bodyStart), &der), 0);
    SCOPED_TRACE("certificate " + std::to_string(decoded));
    EXPECT_EQ(Asn1TotalSize(der), der.length);
    Signed parts;
    Tbs tbs;
    EXPECT_TRUE(SplitSigned(der, &parts) && ParseTbs(parts.tbs, &tbs));
    EXPECT_GT(CountElements(parts.tbs, kAsn1Sequence), 10);
    std::free(der.data);
    ++decoded;
    at = bodyEnd;
  }
  EXPECT_GT(decoded, 50);
}

}  // namespace
}  // namespace kcertadm
