#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/hex_util.h"

namespace kcertadm {
namespace {

using namespace test_support;
using Bytes = std::vector<std::uint8_t>;

// n indefinite-length SEQUENCEs inside each other around one INTEGER.
Bytes NestedIndefinite(int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.insert(out.end(), {0x30, 0x80});
  out.insert(out.end(), {0x02, 0x01, 0x05});
  out.resize(out.size() + 2 * n, 0x00);
  return out;
}

// Accepted headers with their sizes; the hostile ones (header size -1) must be refused by both
// readers.
TEST(Asn1ReadHeader, ReadsValidFormsAndRefusesHostileOnes) {
  Bytes longForm = Hex("04 81 7F");
  longForm.resize(130, 0xAB);
  const Bytes deepest = NestedIndefinite(kAsn1MaxIndefiniteDepth);
  const auto deepestSize = static_cast<std::int32_t>(deepest.size());
  const struct {
    const char* why;
    Bytes element;
    std::int32_t headerSize, contentLength = -1, totalSize = -1;
  } kTests[] = {
      {"non-minimal long form is read", longForm, 3, 127, 130},
      {"four length octets", Hex("04 84 00 00 00 01 AA"), 6, 1, 7},
      {"trailing bytes after the element", Hex("02 01 05 FF FF"), 2, 1, 3},
      {"nested indefinite: outer end-of-contents not content",
       Hex("30 80 30 80 02 01 05 00 00 00 00"), 2, 7, 11},
      {"empty indefinite", Hex("30 80 00 00"), 2, 0, 4},
      {"definite child of indefinite", Hex("A0 80 04 82 00 01 AA 00 00 FF"), 2, 5, 9},
      {"deep but allowed nesting", deepest, 2, deepestSize - 4, deepestSize},
      {"nothing to read", Bytes{}, -1},
      {"tag without length octet", Hex("30"), -1},
      {"content runs past the end", Hex("02 05 01 02"), -1},
      {"length octets cut off", Hex("04 82 01"), -1},
      {"five length octets", Hex("04 85 00 00 00 00 01 AA"), -1},
      {"length beyond the signed 32-bit range", Hex("04 84 80 00 00 00 AA"), -1},
      {"huge length, tiny buffer", Hex("04 84 7F FF FF FF AA"), -1},
      {"indefinite without end-of-contents", Hex("30 80 02 01 05"), -1},
      {"indefinite whose child runs past the end", Hex("30 80 02 05 01 00 00"), -1},
      {"indefinite cut inside the end-of-contents", Hex("30 80 02 01 05 00"), -1},
      {"nesting deeper than the bound", NestedIndefinite(kAsn1MaxIndefiniteDepth + 1), -1},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    std::int32_t content = -7, total = -7;
    EXPECT_EQ(Asn1ReadHeader(ItemOf(c.element), &content, &total), c.headerSize);
    EXPECT_TRUE(c.headerSize < 0 || (content == c.contentLength && total == c.totalSize))
        << content << " " << total;
    EXPECT_EQ(Asn1TotalSize(ItemOf(c.element)), c.totalSize);
  }
  const Bytes bytes = Hex("04 03 AA BB CC");  // in views that cannot exist
  EXPECT_EQ(Asn1TotalSize(Asn1View(bytes.data(), std::size_t{1} << 40)) +
                Asn1TotalSize(Asn1Item{nullptr, 5}),
            -2);
}

// A refused moving-pointer step leaves the view as it was, and none reads past the end of its view.
TEST(Asn1MovingView, RefusedStepsLeaveTheViewAlone) {
  const Bytes bytes = Hex("30 06 02 01 07 04 01 AA");
  std::uint32_t tag = 0;
  Asn1Item out{};
  const struct {
    const char* why;
    std::size_t from, size;
    std::function<std::int32_t(Asn1Item*)> step;
    std::int32_t result;
  } kTests[] = {
      {"ExpectTag on another tag", 0, 8,
       [](Asn1Item* v) { return Asn1ExpectTag(0x31, v, nullptr); }, -1},
      {"ExpectTag on a header past the view", 5, 2,
       [](Asn1Item* v) { return Asn1ExpectTag(0x04, v, nullptr); }, -1},
      {"ReadTag on a header past the view", 5, 2,
       [&](Asn1Item* v) { return Asn1ReadTag(&tag, v, nullptr); }, -1},
      {"PeekTag on another tag", 0, 8, [](Asn1Item* v) { return Asn1PeekTag(0x31, v, 1); }, 0},
      {"PeekTag without entering", 0, 8, [](Asn1Item* v) { return Asn1PeekTag(0x30, v, 0); }, 1},
      {"PeekTag entering a header past the view", 5, 2,
       [](Asn1Item* v) { return Asn1PeekTag(0x04, v, 1); }, -1},
      {"Enter on a header past the view", 0, 7, [](Asn1Item* v) { return Asn1Enter(v); }, -1},
      {"NextTagged on another tag", 2, 6,
       [&](Asn1Item* v) { return Asn1NextTagged(v, &out, 0x04); }, -1},
      {"NextTagged on a header past the view", 5, 2,
       [&](Asn1Item* v) { return Asn1NextTagged(v, &out, ASN1_ANY); }, -1},
      {"NextTagged at the end", 8, 0,
       [&](Asn1Item* v) { return Asn1NextTagged(v, &out, ASN1_ANY); }, 0},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    Asn1Item view = Asn1View(bytes.data() + c.from, c.size);
    EXPECT_EQ(c.step(&view), c.result);
    EXPECT_TRUE(view.data == bytes.data() + c.from &&
                view.length == static_cast<std::int32_t>(c.size));
  }
  Asn1Item oid = Asn1View(bytes.data(), 3);
  EXPECT_EQ(Asn1MatchBytes(&oid, bytes.data(), 4), 0)
      << "a pattern is matched only as far as the view reaches";
}

// Each row: the first step and the step after it.
TEST(Asn1Cursor, StepsOverChildrenWithinTheirParent) {
  const struct {
    const char* why;
    Bytes content;
    std::uint32_t tag;
    std::int32_t first, second;
  } kTests[] = {
      {"the step after an indefinite child skips its end-of-contents",
       Hex("30 80 02 01 02 00 00 04 00"), 0x30, 1, 2},
      {"primitive parent is not walked", Hex("02 01 01"), 0x04, 0, 0},
      {"empty constructed parent has no child", Bytes{}, 0x30, 0, 0},
      {"first child runs past the parent", Hex("02 05 01"), 0x30, -1, 0},
      {"second child claims three octets, two are left", Hex("02 01 01 02 03 AA BB"), 0x30, 1, -1},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    Bytes buffer = c.content;
    buffer.resize(buffer.size() + 4, 0xCC);  // readable bytes beyond the parent
    Asn1Cursor cursor;
    EXPECT_EQ(Asn1FirstChild(Asn1View(buffer.data(), c.content.size()), c.tag, &cursor), c.first);
    EXPECT_EQ(Asn1NextChild(&cursor), c.second);
    EXPECT_TRUE(c.second <= 0 || cursor.tag == 0x04u);
    EXPECT_EQ(Asn1NextChild(&cursor), 0) << "a used-up or refused cursor yields nothing more";
  }
}

TEST(Asn1Values, BitStringAndSmallInteger) {
  // Refused ones: unused bits, no unused-bit octet, not a BIT STRING.
  for (const char* hex : {"03 01 00", "03 03 04 AB C0", "03 00", "04 03 00 AB CD"}) {
    const Bytes element = Hex(hex);
    Asn1Item item = ItemOf(element);
    const bool good = hex[4] == '1';
    EXPECT_EQ(Asn1UnwrapBitString(&item), good ? 0 : -1) << hex;
    EXPECT_EQ(BytesOf(item), good ? Bytes{} : element) << hex;
  }
  // Five octets do not fit.
  for (const auto& [hex, value] :
       {std::pair{"", 0u}, {"FF FF FF FF", 0xFFFFFFFFu}, {"01 00 00 00 00", 0u}})
    EXPECT_EQ(Asn1SmallInteger(ItemOf(Hex(hex))), value) << hex;
}

TEST(Asn1SplitSequences, OneEntryPerSequenceChild) {
  // 25 one-octet SEQUENCEs (the array grows past its first ten entries),
  // then an INTEGER: not a SEQUENCE, so the rest of the region ends the split.
  Bytes region;
  for (int i = 0; i < 25; ++i)
    region.insert(region.end(), {0x30, 0x01, static_cast<std::uint8_t>(i)});
  const Bytes tail = Hex("02 01 05 30 00");
  region.insert(region.end(), tail.begin(), tail.end());
  Asn1Item* parts = nullptr;
  ASSERT_EQ(Asn1SplitSequences(ItemOf(region), &parts), 0);
  for (int i = 0; i < 25; ++i)
    EXPECT_EQ(BytesOf(parts[i]), Bytes{static_cast<std::uint8_t>(i)}) << i;
  EXPECT_EQ(BytesOf(parts[25]), tail);
  EXPECT_EQ(parts[26].data, nullptr);
  Asn1FreeSplit(parts);

  for (const Bytes& bad : {Bytes{}, Hex("30 01 AA 30 05 BB"), Hex("30")}) {
    Asn1Item sentinel{};
    parts = &sentinel;
    EXPECT_EQ(Asn1SplitSequences(ItemOf(bad), &parts), -1) << bad.size();
    EXPECT_EQ(parts, nullptr);
  }
}

}  // namespace
}  // namespace kcertadm
