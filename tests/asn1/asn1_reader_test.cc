#include <gtest/gtest.h>

#include <cstdlib>
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

// n indefinite-length SEQUENCEs inside each other around one INTEGER.
Bytes NestedIndefinite(int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.insert(out.end(), {0x30, 0x80});
  out.insert(out.end(), {0x02, 0x01, 0x05});
  for (int i = 0; i < n; ++i) out.insert(out.end(), {0x00, 0x00});
  return out;
}

Bytes WithContent(std::string_view header, std::size_t contentSize) {
  Bytes out = Hex(header);
  out.resize(out.size() + contentSize, 0xAB);
  return out;
}

TEST(Asn1ReadHeader, ReadsDefiniteAndIndefiniteForms) {
  struct Case {
    const char* name;
    Bytes element;
    std::int32_t headerSize, contentLength, totalSize;
  };
  const Case kTests[] = {
      {"short form", Hex("02 01 05"), 2, 1, 3},
      {"empty content", Hex("05 00"), 2, 0, 2},
      {"non-minimal long form is read", WithContent("04 81 7F", 127), 3, 127, 130},
      {"two length octets", WithContent("04 82 01 00", 256), 4, 256, 260},
      {"four length octets", Hex("04 84 00 00 00 01 AA"), 6, 1, 7},
      {"indefinite", Hex("30 80 02 01 05 00 00"), 2, 3, 7},
      {"indefinite inside indefinite: outer end-of-contents not content",
       Hex("30 80 30 80 02 01 05 00 00 00 00"), 2, 7, 11},
      {"empty indefinite", Hex("30 80 00 00"), 2, 0, 4},
      {"definite child of indefinite", Hex("A0 80 04 82 00 01 AA 00 00 FF"), 2, 5, 9},
      {"trailing bytes after the element", Hex("02 01 05 FF FF"), 2, 1, 3},
      {"deep but allowed nesting", NestedIndefinite(kAsn1MaxIndefiniteDepth), 2,
       static_cast<std::int32_t>(NestedIndefinite(kAsn1MaxIndefiniteDepth).size() - 4),
       static_cast<std::int32_t>(NestedIndefinite(kAsn1MaxIndefiniteDepth).size())},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.name);
    std::int32_t content = -7, total = -7;
    EXPECT_EQ(Asn1ReadHeader(ItemOf(c.element), &content, &total), c.headerSize);
    EXPECT_EQ(content, c.contentLength);
    EXPECT_EQ(total, c.totalSize);
    EXPECT_EQ(Asn1TotalSize(ItemOf(c.element)), c.totalSize);
  }
}

TEST(Asn1ReadHeader, RejectsHostileHeaders) {
  struct Case {
    const char* why;
    Bytes element;
  };
  const Case kTests[] = {
      {"nothing to read", Bytes{}},
      {"tag without length octet", Hex("30")},
      {"content runs past the end", Hex("02 05 01 02")},
      {"length octets cut off", Hex("04 82 01")},
      {"five length octets", Hex("04 85 00 00 00 00 01 AA")},
      {"length 0xFF form", Hex("04 FF 00")},
      {"length beyond the signed 32-bit range", Hex("04 84 80 00 00 00 AA")},
      {"huge length, tiny buffer", Hex("04 84 7F FF FF FF AA")},
      {"indefinite without end-of-contents", Hex("30 80 02 01 05")},
      {"indefinite whose child runs past the end", Hex("30 80 02 05 01 00 00")},
      {"indefinite cut inside the end-of-contents", Hex("30 80 02 01 05 00")},
      {"unterminated nested indefinite", Hex("30 80 30 80 02 01 05 00 00")},
      {"nesting deeper than the bound", NestedIndefinite(kAsn1MaxIndefiniteDepth + 1)},
      {"nesting that would exhaust the stack", NestedIndefinite(100000)},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    std::int32_t content = -7, total = -7;
    EXPECT_EQ(Asn1ReadHeader(ItemOf(c.element), &content, &total), -1);
    EXPECT_EQ(Asn1TotalSize(ItemOf(c.element)), -1);
  }
}

TEST(Asn1ReadHeader, BoundIsTheItemNotTheBuffer) {
  // The same bytes are readable or not depending on where the view ends.
  const Bytes bytes = Hex("04 03 AA BB CC");
  EXPECT_EQ(Asn1TotalSize(Asn1View(bytes.data(), 5)), 5);
  EXPECT_EQ(Asn1TotalSize(Asn1View(bytes.data(), 4)), -1);
  EXPECT_EQ(Asn1TotalSize(Asn1View(bytes.data(), std::size_t{1} << 40)), -1);
  EXPECT_EQ(Asn1TotalSize(Asn1Item{nullptr, 5}), -1);
}

TEST(Asn1MovingView, ExpectAndReadTagAdvancePastTheHeader) {
  const Bytes bytes = Hex("30 06 02 01 07 04 01 AA");
  Asn1Item view = ItemOf(bytes);
  std::int32_t total = 0;
  EXPECT_EQ(Asn1ExpectTag(0x31, &view, &total), -1);
  EXPECT_EQ(view.data, bytes.data()) << "a mismatch leaves the pointer";
  EXPECT_EQ(Asn1ExpectTag(0x30, &view, &total), 6);
  EXPECT_EQ(total, 8);
  EXPECT_EQ(view.data, bytes.data() + 2);
  EXPECT_EQ(view.length, 6);

  std::uint32_t tag = 0;
  EXPECT_EQ(Asn1ReadTag(&tag, &view, &total), 1);
  EXPECT_EQ(tag, 0x02u);
  EXPECT_EQ(view.data[0], 0x07);

  // A header that would pass the end of the view leaves everything as it was.
  Asn1Item cut = Asn1View(bytes.data() + 5, 2);  // "04 01" without its content octet
  tag = 0x99;
  EXPECT_EQ(Asn1ReadTag(&tag, &cut, &total), -1);
  EXPECT_EQ(tag, 0x99u);
  EXPECT_EQ(cut.length, 2);
}

TEST(Asn1MovingView, MatchBytesAdvancesOverMatchedOctets) {
  const Bytes bytes = Hex("2A 86 48 86 F7");
  struct Case {
    const char* name;
    Bytes expected;
    std::int32_t result, advanced;
  };
  const Case kTests[] = {
      {"full match", Hex("2A 86 48"), 1, 3},
      {"difference in the third octet", Hex("2A 86 00"), 0, 2},
      {"empty pattern matches", Bytes{}, 1, 0},
      {"pattern longer than the view", Hex("2A 86 48 86 F7 0D"), 0, 5},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.name);
    Asn1Item view = ItemOf(bytes);
    EXPECT_EQ(Asn1MatchBytes(&view, c.expected.data(), static_cast<std::int32_t>(c.expected.size())),
              c.result);
    EXPECT_EQ(view.data - bytes.data(), c.advanced);
    EXPECT_EQ(view.length, 5 - c.advanced);
  }
}

TEST(Asn1Enter, PeekAndEnterTurnTheItemIntoContent) {
  const Bytes bytes = Hex("30 80 02 01 05 00 00");
  Asn1Item item = ItemOf(bytes);
  EXPECT_EQ(Asn1PeekTag(0x31, &item, 1), 0);
  EXPECT_EQ(Asn1PeekTag(0x30, &item, 0), 1);
  EXPECT_EQ(item.data, bytes.data()) << "no enter without the flag";
  EXPECT_EQ(Asn1PeekTag(0x30, &item, 1), 1);
  EXPECT_EQ(BytesOf(item), Hex("02 01 05"));
  EXPECT_EQ(Asn1Enter(&item), 1);
  EXPECT_EQ(BytesOf(item), Hex("05"));

  const Bytes cut = Hex("30 05 02 01");
  Asn1Item bad = ItemOf(cut);
  EXPECT_EQ(Asn1PeekTag(0x30, &bad, 1), -1);
  EXPECT_EQ(Asn1Enter(&bad), -1);
  EXPECT_EQ(bad.data, cut.data());
  EXPECT_EQ(bad.length, 4);
}

TEST(Asn1Cursor, WalksChildrenIncludingIndefiniteOnes) {
  // INTEGER 1, an indefinite SEQUENCE, an empty OCTET STRING.
  const Bytes parent = Hex("30 0C 02 01 01 30 80 02 01 02 00 00 04 00");
  Asn1Item content = ItemOf(parent);
  ASSERT_EQ(Asn1Enter(&content), 12);
  Asn1Cursor cursor;
  ASSERT_EQ(Asn1FirstChild(content, 0x30, &cursor), 1);
  EXPECT_EQ(cursor.tag, 0x02u);
  EXPECT_EQ(BytesOf(Asn1CursorItem(cursor)), Hex("01"));
  EXPECT_EQ(cursor.remaining, 9);

  EXPECT_EQ(Asn1NextChild(&cursor), 7);
  EXPECT_EQ(cursor.tag, 0x30u);
  EXPECT_EQ(BytesOf(Asn1CursorItem(cursor)), Hex("02 01 02"));

  // The step after an indefinite child skips its end-of-contents octets.
  EXPECT_EQ(Asn1NextChild(&cursor), 2);
  EXPECT_EQ(cursor.tag, 0x04u);
  EXPECT_EQ(cursor.length, 0);
  EXPECT_EQ(cursor.remaining, 0);
  EXPECT_EQ(Asn1NextChild(&cursor), 0);
}

TEST(Asn1Cursor, FirstChildRefusals) {
  struct Case {
    const char* why;
    Bytes content;
    std::uint32_t tag;
    std::int32_t result;
  };
  const Case kTests[] = {
      {"primitive parent is not walked", Hex("02 01 01"), 0x04, 0},
      {"empty constructed parent has no child", Bytes{}, 0x30, 0},
      {"first child runs past the parent", Hex("02 05 01"), 0x30, -1},
      {"first child has five length octets", Hex("02 85 00 00 00 00 01"), 0x31, -1},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Asn1Cursor cursor;
    EXPECT_EQ(Asn1FirstChild(ItemOf(c.content), c.tag, &cursor), c.result);
    EXPECT_EQ(Asn1NextChild(&cursor), 0) << "a refused cursor yields nothing more";
  }
}

TEST(Asn1Cursor, ChildCannotReachPastItsParent) {
  // The parent's content is only "02 01 01 02 03"; the second child claims
  // three octets of which only two lie inside the parent.
  const Bytes bytes = Hex("02 01 01 02 03 AA BB CC DD");
  Asn1Cursor cursor;
  ASSERT_EQ(Asn1FirstChild(Asn1View(bytes.data(), 7), 0x30, &cursor), 1);
  EXPECT_EQ(Asn1NextChild(&cursor), -1);
  EXPECT_EQ(Asn1NextChild(&cursor), 0);
}

TEST(Asn1NextTagged, TakesChildrenInTurn) {
  const Bytes bytes = Hex("02 01 07 04 02 AA BB 05 00");
  Asn1Item source = ItemOf(bytes);
  Asn1Item out{};
  EXPECT_EQ(Asn1NextTagged(&source, &out, 0x02), 1);
  EXPECT_EQ(BytesOf(out), Hex("07"));
  EXPECT_EQ(Asn1NextTagged(&source, &out, 0x02), -1) << "OCTET STRING is not an INTEGER";
  EXPECT_EQ(Asn1NextTagged(&source, &out, ASN1_ANY), 1);
  EXPECT_EQ(BytesOf(out), Hex("AA BB"));
  EXPECT_EQ(Asn1NextTagged(&source, &out, 0x05), 1);
  EXPECT_EQ(out.length, 0);
  EXPECT_EQ(Asn1NextTagged(&source, &out, ASN1_ANY), 0);

  Asn1Item cut = Asn1View(bytes.data(), 5);  // ends inside the OCTET STRING
  ASSERT_EQ(Asn1NextTagged(&cut, &out, ASN1_ANY), 1);
  EXPECT_EQ(Asn1NextTagged(&cut, &out, ASN1_ANY), -1);
}

TEST(Asn1Values, BitStringSmallIntegerAndEquality) {
  struct BitCase {
    const char* name;
    Bytes element;
    std::int32_t result;
    Bytes octets;
  };
  const BitCase kBitTests[] = {
      {"two octets", Hex("03 03 00 AB CD"), 0, Hex("AB CD")},
      {"no octets after the count", Hex("03 01 00"), 0, Bytes{}},
      {"unused bits are refused", Hex("03 03 04 AB C0"), -1, Bytes{}},
      {"missing unused-bit octet", Hex("03 00"), -1, Bytes{}},
      {"not a BIT STRING", Hex("04 03 00 AB CD"), -1, Bytes{}},
      {"content past the end", Hex("03 04 00 AB CD"), -1, Bytes{}},
  };
  for (const BitCase& c : kBitTests) {
    SCOPED_TRACE(c.name);
    Asn1Item item = ItemOf(c.element);
    EXPECT_EQ(Asn1UnwrapBitString(&item), c.result);
    if (c.result == 0) EXPECT_EQ(BytesOf(item), c.octets);
    else EXPECT_EQ(item.data, c.element.data());
  }

  const struct {
    Bytes content;
    std::uint32_t value;
  } kIntegers[] = {
      {Bytes{}, 0}, {Hex("05"), 5}, {Hex("01 2C"), 300}, {Hex("00 FF FF FF"), 0xFFFFFF},
      {Hex("FF FF FF FF"), 0xFFFFFFFFu}, {Hex("01 00 00 00 00"), 0},
  };
  for (const auto& c : kIntegers) {
    EXPECT_EQ(Asn1SmallInteger(ItemOf(c.content)), c.value) << c.content.size() << " octets";
  }

  const Bytes oid = Hex("55 04 03");
  EXPECT_EQ(Asn1ItemEquals(ItemOf(oid), oid.data(), 3), 1);
  EXPECT_EQ(Asn1ItemEquals(ItemOf(oid), oid.data(), 2), 0);
  EXPECT_EQ(Asn1ItemEquals(ItemOf(oid), Hex("55 04 06").data(), 3), 0);
  EXPECT_EQ(Asn1ItemEquals(Asn1Item{nullptr, 0}, nullptr, 0), 1);
}

TEST(Asn1SplitSequences, OneEntryPerSequenceChild) {
  const Bytes region = Hex("30 01 AA 30 02 BB CC 02 01 05 30 00");
  Asn1Item* parts = nullptr;
  ASSERT_EQ(Asn1SplitSequences(ItemOf(region), &parts), 0);
  EXPECT_EQ(BytesOf(parts[0]), Hex("AA"));
  EXPECT_EQ(BytesOf(parts[1]), Hex("BB CC"));
  // The INTEGER is not a SEQUENCE: the rest of the region ends the split.
  EXPECT_EQ(BytesOf(parts[2]), Hex("02 01 05 30 00"));
  EXPECT_EQ(parts[3].length, 0);
  EXPECT_EQ(parts[3].data, nullptr);
  Asn1FreeSplit(parts);
}

TEST(Asn1SplitSequences, GrowsPastTenEntries) {
  Bytes region;
  for (int i = 0; i < 25; ++i) region.insert(region.end(), {0x30, 0x01, static_cast<std::uint8_t>(i)});
  Asn1Item* parts = nullptr;
  ASSERT_EQ(Asn1SplitSequences(ItemOf(region), &parts), 0);
  for (int i = 0; i < 25; ++i) {
    ASSERT_EQ(parts[i].length, 1) << i;
    EXPECT_EQ(parts[i].data[0], i);
  }
  EXPECT_EQ(parts[25].length, 0);
  Asn1FreeSplit(parts);
}

TEST(Asn1SplitSequences, RefusesEmptyAndMalformedRegions) {
  const Bytes kRegions[] = {Bytes{}, Hex("30 01 AA 30 05 BB"), Hex("30")};
  for (const Bytes& region : kRegions) {
    Asn1Item sentinel{};
    Asn1Item* parts = &sentinel;
    EXPECT_EQ(Asn1SplitSequences(ItemOf(region), &parts), -1) << region.size();
    EXPECT_EQ(parts, nullptr);
  }
}

}  // namespace
}  // namespace kcertadm
