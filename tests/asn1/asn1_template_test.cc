#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/hex_util.h"

namespace kcertadm {
namespace {

using testing::BytesOf;
using testing::Hex;
using testing::ItemOf;

// What an out item holds: "untouched", "absent" (length 0) or its bytes as
// "02 01 05".

std::string Describe(const Asn1Item& item, const std::uint8_t* marker) {
  if (item.data == marker && item.length == 99) return "untouched";
  if (item.length == 0) return "absent";
  std::string text;
  char octet[4];
  for (std::uint8_t b : BytesOf(item)) text.append(octet, std::snprintf(octet, sizeof octet, " %02X", b));
  return text.substr(1);
}

struct Case {
  const char* name;
  std::vector<std::uint32_t> specs;
  const char* input;
  int contentMode;
  std::int32_t result;
  std::vector<std::string> outs;  // checked only when result is 0
};

void RunCase(const Case& c) {
  SCOPED_TRACE(c.name);
  std::uint8_t marker = 0;
  std::vector<Asn1Item> items(c.specs.size(), Asn1Item{&marker, 99});
  std::vector<Asn1TemplateEntry> entries;
  for (std::size_t i = 0; i < c.specs.size(); ++i) entries.push_back({c.specs[i], &items[i]});
  const std::vector<std::uint8_t> input = Hex(c.input);
  ASSERT_EQ(Asn1DecodeTemplate(entries.data(), static_cast<std::int32_t>(entries.size()), ItemOf(input), c.contentMode),
            c.result);
  if (c.result != 0) return;
  std::vector<std::string> got;
  for (const Asn1Item& item : items) got.push_back(Describe(item, &marker));
  EXPECT_EQ(got, c.outs);
}

TEST(Asn1DecodeTemplate, MatchesEntriesAndRefusesMissingOrOverlongChildren) {
  const Case kTests[] = {
      {"content mode gives contents", {0x2A0, 0x02}, "A0 03 02 01 02 02 01 05", 1, 0, {"02 01 02", "05"}},
      {"absent optional [0] left alone, the next one decodes", {0x2A0, 0x02}, "30 03 02 01 05", 0, 0,
       {"untouched", "02 01 05"}},
      {"a UTCTime entry takes a GeneralizedTime", {0x17}, "18 01 32", 1, 0, {"32"}},
      {"but an optional one leaves it to the next entry", {0x217, 0x18}, "18 01 32", 1, 0, {"untouched", "32"}},
      {"ASN1_ANY takes any tag", {ASN1_ANY, 0x05}, "30 04 31 00 05 00", 0, 0, {"31 00", "05 00"}},
      {"optional tagged entry matches the tag number in any constructed class", {0x2A0}, "E0 01 AA", 1, 0, {"AA"}},
      {"other tag numbers skipped", {0x2A1, 0x2A2, 0x2A3}, "A3 01 AA", 1, 0, {"untouched", "untouched", "AA"}},
      {"a primitive [0] is no constructed [0]", {0x2A0, 0x80}, "80 01 AA", 1, 0, {"untouched", "AA"}},
      {"optional entries after the last child", {0x02, 0x2A1, 0x2A3}, "02 01 05", 1, 0, {"05", "absent", "absent"}},
      {"bytes after the last entry are not an error", {0x02}, "02 01 05 04 00", 1, 0, {"05"}},
      {"empty region with only optional entries", {0x202}, "", 1, 0, {"absent"}},
      // Refused: a mandatory entry unmet, or a child outside its parent.
      {"mandatory entry after the input is exhausted", {0x02, 0x02}, "02 01 05", 1, -1, {}},
      {"mandatory entry after trailing optional ones", {0x02, 0x2A3, 0x04}, "02 01 05", 1, -1, {}},
      {"mandatory tag mismatch", {0x02}, "04 00", 1, -1, {}},
      {"optional UTCTime does not turn GeneralizedTime into INTEGER", {0x217, 0x02}, "18 01 32", 1, -1, {}},
      {"child runs past its parent's content", {0x02, 0x02}, "30 05 02 01 05 02 03 01 02 03", 0, -1, {}},
      {"child header cut at the region's end", {0x02, 0x02}, "02 01 05 02", 1, -1, {}},
      {"whole mode needs a constructed element", {0x02}, "02 01 05", 0, -1, {}},
  };
  for (const Case& c : kTests) RunCase(c);
}

}  // namespace
}  // namespace kcertadm
