// Template decoding: hand-made rows, and peer-made samples (tests/data/asn1/make_samples.sh) split
// into parts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/hex_util.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

using namespace test_support;
using Bytes = std::vector<std::uint8_t>;

TEST(Asn1DecodeTemplate, MatchesEntriesAndRefusesMissingOrOverlongChildren) {
  // outs ("" for absent) are checked only when the result is 0
  const struct {
    const char* name;
    std::vector<std::uint32_t> specs;
    const char* input;
    int contentMode;
    std::int32_t result;
    std::vector<std::string> outs;
  } kTests[] = {
      {"content mode gives contents",
       {0x2A0, 0x02},
       "A0 03 02 01 02 02 01 05",
       1,
       0,
       {"02 01 02", "05"}},
      {"absent optional [0] left alone, the next decodes",
       {0x2A0, 0x02},
       "30 03 02 01 05",
       0,
       0,
       {"untouched", "02 01 05"}},
      {"a UTCTime entry takes a GeneralizedTime", {0x17}, "18 01 32", 1, 0, {"32"}},
      {"but an optional one leaves it to the next entry",
       {0x217, 0x18},
       "18 01 32",
       1,
       0,
       {"untouched", "32"}},
      {"ASN1_ANY takes any tag", {ASN1_ANY, 0x05}, "30 04 31 00 05 00", 0, 0, {"31 00", "05 00"}},
      {"optional tagged entry matches the tag number in any constructed class",
       {0x2A0},
       "E0 01 AA",
       1,
       0,
       {"AA"}},
      {"a primitive [0] is no constructed [0]",
       {0x2A0, 0x80},
       "80 01 AA",
       1,
       0,
       {"untouched", "AA"}},
      {"optional entries after the last child",
       {0x02, 0x2A1, 0x2A3},
       "02 01 05",
       1,
       0,
       {"05", "", ""}},
      {"bytes after the last entry are not an error", {0x02}, "02 01 05 04 00", 1, 0, {"05"}},
      {"empty region with only optional entries", {0x202}, "", 1, 0, {""}},
      // Refused: a mandatory entry unmet, or a child outside its parent.
      {"mandatory entry after trailing optional ones", {0x02, 0x2A3, 0x04}, "02 01 05", 1, -1, {}},
      {"mandatory tag mismatch", {0x02}, "04 00", 1, -1, {}},
      {"optional UTCTime does not turn GeneralizedTime into INTEGER",
       {0x217, 0x02},
       "18 01 32",
       1,
       -1,
       {}},
      {"child runs past its parent's content",
       {0x02, 0x02},
       "30 05 02 01 05 02 03 01 02 03",
       0,
       -1,
       {}},
      {"child header cut at the region's end", {0x02, 0x02}, "02 01 05 02", 1, -1, {}},
      {"whole mode needs a constructed element", {0x02}, "02 01 05", 0, -1, {}},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    std::uint8_t marker[99] = {};
    std::vector<Asn1Item> items(c.specs.size(), Asn1Item{marker, 99});
    std::vector<Asn1TemplateEntry> entries;
    for (std::size_t i = 0; i < c.specs.size(); ++i) entries.push_back({c.specs[i], &items[i]});
    const Bytes input = Hex(c.input);
    ASSERT_EQ(Asn1DecodeTemplate(entries.data(), static_cast<std::int32_t>(entries.size()),
                                 ItemOf(input), c.contentMode),
              c.result);
    for (std::size_t i = 0; c.result == 0 && i < items.size(); ++i) {
      if (c.outs[i] == "untouched") {
        EXPECT_TRUE(items[i].data == marker && items[i].length == 99) << i;
      } else {
        EXPECT_EQ(BytesOf(items[i]), Hex(c.outs[i])) << i;
      }
    }
  }
}

Bytes Sample(const std::string& name) {
  const Bytes bytes = ReadFileBytes(std::string(KCERTADM_TEST_DATA_DIR) + "/asn1/" + name);
  EXPECT_FALSE(bytes.empty()) << name;
  return bytes;
}

// {to-be-signed, algorithm, BIT STRING signature} and the to-be-signed fields, against the peer's
// parts.
TEST(Asn1RealDer, CertificatesSplitIntoTheirFields) {
  for (const std::string base : {"cert1", "cert2", "cert3"}) {
    SCOPED_TRACE(base);
    const Bytes der = Sample(base + ".der");
    Asn1Item tbs{}, algorithm{}, signature{}, version{}, serial{}, issuer{}, validity{}, subject{},
        spki{}, unique1{}, unique2{}, extensions{};
    const Asn1TemplateEntry kSigned[] = {
        {kAsn1Sequence, &tbs}, {kAsn1Sequence, &algorithm}, {kAsn1BitString, &signature}};
    const Asn1TemplateEntry kTbs[] = {{kAsn1Context0 | ASN1_OPTIONAL, &version},
                                      {kAsn1Integer, &serial},
                                      {kAsn1Sequence, &algorithm},
                                      {kAsn1Sequence, &issuer},
                                      {kAsn1Sequence, &validity},
                                      {kAsn1Sequence, &subject},
                                      {kAsn1Sequence, &spki},
                                      {kAsn1Context1 | ASN1_OPTIONAL, &unique1},
                                      {kAsn1Context2 | ASN1_OPTIONAL, &unique2},
                                      {kAsn1Context3 | ASN1_OPTIONAL, &extensions}};
    EXPECT_EQ(Asn1TotalSize(ItemOf(der)), static_cast<std::int32_t>(der.size()));
    ASSERT_EQ(Asn1DecodeTemplate(kSigned, 3, ItemOf(der), 0), 0);
    ASSERT_EQ(Asn1UnwrapBitString(&signature) | Asn1DecodeTemplate(kTbs, 10, tbs, 0), 0);
    EXPECT_EQ(BytesOf(version), Hex("A0 03 02 01 02"));
    for (const auto& [suffix, item] : {std::pair{".tbs", &tbs},
                                       {".sig", &signature},
                                       {".subject", &subject},
                                       {".issuer", &issuer},
                                       {".spki", &spki}})
      EXPECT_EQ(BytesOf(*item), Sample(base + suffix)) << suffix;
    EXPECT_GT(extensions.length, 0) << "openssl adds v3 extensions";
  }
}

// Counts the elements of a tree, entering every constructed one.
int CountElements(const Asn1Item& content, std::uint32_t tag) {
  int count = 0;
  Asn1Cursor cursor;
  std::int32_t step = Asn1FirstChild(content, tag, &cursor);
  for (; step > 0; step = Asn1NextChild(&cursor))
    count += 1 + CountElements(Asn1CursorItem(cursor), cursor.tag);
  return step < 0 ? -1000000 : count;
}

// A CMS SignedData written by openssl in streaming BER with indefinite lengths, holding a
// certificate and a signer.
TEST(Asn1RealDer, StreamingBerWithIndefiniteLengths) {
  const Bytes ber = Sample("ber.der");
  Asn1Item content = ItemOf(ber), type{}, signedData{};
  EXPECT_EQ(Asn1TotalSize(content), static_cast<std::int32_t>(ber.size()));
  ASSERT_EQ(Hex("30 80"), Bytes(ber.begin(), ber.begin() + 2));
  const Asn1TemplateEntry kContentInfo[] = {{kAsn1ObjectId, &type}, {kAsn1Context0, &signedData}};
  ASSERT_GT(Asn1Enter(&content), 0);
  ASSERT_EQ(Asn1DecodeTemplate(kContentInfo, 2, content, 1), 0);
  EXPECT_EQ(BytesOf(type), Hex("2A 86 48 86 F7 0D 01 07 02"));
  ASSERT_GT(Asn1Enter(&signedData), 0);
  EXPECT_GT(CountElements(signedData, kAsn1Sequence), 50);
}

}  // namespace
}  // namespace kcertadm
