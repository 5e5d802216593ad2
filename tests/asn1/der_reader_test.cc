#include "asn1/der_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "asn1/der_append.h"
#include "asn1/hex_util.h"

namespace kcertadm {
namespace {

using test_support::Hex;
using Bytes = std::vector<std::uint8_t>;

// How one rule reads an element: header size, content length, whole size.
struct Read {
  std::size_t header, content, whole;
};
constexpr std::optional<Read> kRefused;

// n indefinite-length SEQUENCEs inside each other around one INTEGER.
Bytes NestedIndefinite(int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.insert(out.end(), {0x30, 0x80});
  out.insert(out.end(), {0x02, 0x01, 0x05});
  out.resize(out.size() + 2 * static_cast<std::size_t>(n), 0x00);
  return out;
}

// Every rule must read the same element from definite-length DER, and each
// keeps its own reading of the forms where the readers of the library have
// always differed. A hostile input is refused by every rule.
TEST(DerReader, LengthRulesReadEachFormAsTheirCallersExpect) {
  const Bytes deepest = NestedIndefinite(der::kMaxIndefiniteDepth);
  const struct {
    const char* why;
    Bytes bytes;
    std::optional<Read> derOnly, asEmpty, follow;
  } kTests[] = {
      {"short form", Hex("02 01 05"), Read{2, 1, 3}, Read{2, 1, 3}, Read{2, 1, 3}},
      {"trailing bytes are not part of the element", Hex("04 00 FF"), Read{2, 0, 2}, Read{2, 0, 2},
       Read{2, 0, 2}},
      {"shortest long form",
       [] {
         Bytes b = Hex("04 81 80");
         b.resize(3 + 0x80, 0xAB);
         return b;
       }(),
       Read{3, 0x80, 0x83}, Read{3, 0x80, 0x83}, Read{3, 0x80, 0x83}},
      // Long forms that are not the shortest are BER, not DER.
      {"non-minimal long form", Hex("04 81 01 AA"), kRefused, Read{3, 1, 4}, Read{3, 1, 4}},
      {"leading zero length octet", Hex("04 82 00 01 AA"), kRefused, Read{4, 1, 5}, Read{4, 1, 5}},
      // The key ring's decoders read 0x80 as an empty element; the codec
      // follows it to its end-of-contents octets.
      {"indefinite length", Hex("30 80 02 01 05 00 00"), kRefused, Read{2, 0, 2}, Read{2, 3, 7}},
      {"nested indefinite", Hex("30 80 30 80 02 01 05 00 00 00 00"), kRefused, Read{2, 0, 2},
       Read{2, 7, 11}},
      {"deepest allowed nesting", deepest, kRefused, Read{2, 0, 2},
       Read{2, deepest.size() - 4, deepest.size()}},
      // Hostile: each must fail, never read past the end.
      {"empty input: no tag", Bytes{}, kRefused, kRefused, kRefused},
      {"tag without a length octet", Hex("30"), kRefused, kRefused, kRefused},
      {"content longer than the input", Hex("02 05 01 02"), kRefused, kRefused, kRefused},
      {"length octets cut off", Hex("04 82 01"), kRefused, kRefused, kRefused},
      {"five length octets", Hex("04 85 00 00 00 00 01 AA"), kRefused, kRefused, kRefused},
      {"huge length over a tiny input", Hex("04 84 7F FF FF FF AA"), kRefused, kRefused, kRefused},
      {"indefinite without end-of-contents", Hex("30 80 02 01 05"), kRefused, Read{2, 0, 2},
       kRefused},
      {"indefinite whose child overruns", Hex("30 80 02 05 01 00 00"), kRefused, Read{2, 0, 2},
       kRefused},
      {"nesting deeper than the bound", NestedIndefinite(der::kMaxIndefiniteDepth + 1), kRefused,
       Read{2, 0, 2}, kRefused},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    const der::View in(c.bytes);
    const std::pair<der::LengthRule, std::optional<Read>> rules[] = {
        {der::kDerOnly, c.derOnly},
        {der::kIndefiniteAsEmpty, c.asEmpty},
        {der::kFollowIndefinite, c.follow}};
    for (const auto& [rule, expected] : rules) {
      SCOPED_TRACE(rule);
      const auto element = der::Peek(in, rule);
      ASSERT_EQ(element.has_value(), expected.has_value());
      if (!element) continue;
      EXPECT_EQ(element->tag, c.bytes[0]);
      EXPECT_EQ(element->whole.data(), c.bytes.data());
      EXPECT_EQ(element->whole.size(), expected->whole);
      EXPECT_EQ(element->content.data(), c.bytes.data() + expected->header);
      EXPECT_EQ(element->content.size(), expected->content);
    }
  }
}

TEST(DerReader, ExpectMovesOnlyOverAMatchingElement) {
  const Bytes bytes = Hex("02 01 05 04 01 AA");
  der::View in(bytes);
  EXPECT_FALSE(der::Expect(in, der::kOctetString, der::kDerOnly));
  EXPECT_EQ(in.size(), 6u);
  ASSERT_TRUE(der::Expect(in, der::kInteger, der::kDerOnly));
  EXPECT_EQ(in.size(), 3u);
  EXPECT_FALSE(der::ExpectOnly(der::View(bytes), der::kInteger, der::kDerOnly))
      << "something follows the INTEGER";
  EXPECT_TRUE(der::ExpectOnly(in, der::kOctetString, der::kDerOnly));
}

TEST(DerAppend, IntegersAndHeadersTakeTheirShortestForm) {
  const struct {
    Bytes number, encoded;
  } kTests[] = {
      {{}, Hex("02 01 00")},
      {Hex("00 00 00 00"), Hex("02 01 00")},
      {Hex("00 00 00 80"), Hex("02 02 00 80")},
      {Hex("00 00 01 2C"), Hex("02 02 01 2C")},
      {Hex("7F FF"), Hex("02 02 7F FF")},
  };
  for (const auto& c : kTests) {
    Bytes out;
    der::AppendUnsignedInteger(out, c.number);
    EXPECT_EQ(out, c.encoded);
  }
  Bytes content(256, 0xAB);
  Bytes out;
  der::Append(out, der::kOctetString, content);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), Hex("04 82 01 00"));
  EXPECT_EQ(out.size(), 260u);
}

TEST(DerAppend, AlgorithmIdentifierCarriesANullParameter) {
  EXPECT_EQ(der::AlgorithmIdentifier(Hex("2A 03")), Hex("30 06 06 02 2A 03 05 00"));
}

}  // namespace
}  // namespace kcertadm
