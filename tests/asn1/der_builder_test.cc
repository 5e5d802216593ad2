#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "asn1/asn1.h"
#include "asn1/hex_util.h"

namespace kcertadm {
namespace {

using testing::BytesOf;
using testing::Hex;
using testing::ItemOf;
using Bytes = std::vector<std::uint8_t>;

// Takes the bytes of a built item and frees it.
Bytes Take(Asn1Item* item) {
  Bytes bytes = BytesOf(*item);
  DerFree(item);
  return bytes;
}

TEST(DerHeader, SizeAndOctetsFollowTheContentLength) {
  const struct {
    std::int32_t length;
    std::int32_t size;
    const char* octets;  // after the tag
  } kTests[] = {
      {0, 2, "00"},
      {127, 2, "7F"},
      {128, 3, "81 80"},
      {200, 3, "81 C8"},
      {255, 3, "81 FF"},
      {256, 4, "82 01 00"},
      {65535, 4, "82 FF FF"},
      {65536, 5, "83 01 00 00"},
      {16777215, 5, "83 FF FF FF"},
      {16777216, 6, "84 01 00 00 00"},
      {INT32_MAX, 6, "84 7F FF FF FF"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.length);
    ASSERT_EQ(DerHeaderSize(c.length), c.size);
    std::uint8_t header[6] = {};
    DerWriteHeader(header, 0x04, c.size, c.length);
    Bytes expected{0x04};
    const Bytes rest = Hex(c.octets);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(Bytes(header, header + c.size), expected);
  }
}

TEST(DerInteger, ShortestTwosComplement) {
  const struct {
    std::uint32_t value;
    const char* der;
  } kTests[] = {
      {0, "02 01 00"},          {1, "02 01 01"},
      {0x7F, "02 01 7F"},       {0x80, "02 02 00 80"},
      {300, "02 02 01 2C"},     {0xFFFF, "02 03 00 FF FF"},
      {0x10000, "02 03 01 00 00"}, {0x7FFFFFFF, "02 04 7F FF FF FF"},
      {0x80000000u, "02 05 00 80 00 00 00"}, {0xFFFFFFFFu, "02 05 00 FF FF FF FF"},
  };
  for (const auto& c : kTests) {
    Asn1Item out{};
    ASSERT_EQ(DerInteger(&out, c.value), 0);
    EXPECT_EQ(Take(&out), Hex(c.der)) << c.value;
  }
}

TEST(DerConstructed, ConcatenatesNonEmptyChildrenInOrder) {
  Asn1Item a{}, b{}, empty{}, out{};
  ASSERT_EQ(DerInteger(&a, 1), 0);
  ASSERT_EQ(DerEmpty(&b, 0x31), 0);

  ASSERT_EQ(DerConstructed(&out, 0x10, &a, &empty, &b), 0);
  EXPECT_EQ(Take(&out), Hex("30 05 02 01 01 31 00"));

  ASSERT_EQ(DerConstructed(&out, 0x80, &b, &a, nullptr), 0);
  EXPECT_EQ(Take(&out), Hex("A0 05 31 00 02 01 01")) << "0x80 gives [0] constructed";

  ASSERT_EQ(DerConstructed(&out, 0x10, &a, nullptr, &b), 0);
  EXPECT_EQ(Take(&out), Hex("30 03 02 01 01")) << "the list ends at the null pointer";

  ASSERT_EQ(DerConstructed(&out, 0x10, &empty, &empty), 0);
  EXPECT_EQ(Take(&out), Hex("30 00"));

  const Asn1Item* list[] = {&b, &b, &b};
  ASSERT_EQ(DerConstructedList(&out, 0x11, list, 3), 0);
  EXPECT_EQ(Take(&out), Hex("31 06 31 00 31 00 31 00"));

  // The children were copied: they are still the caller's to free.
  EXPECT_EQ(BytesOf(a), Hex("02 01 01"));
  Asn1Item items[] = {a, b, empty};
  DerFreeItems(items);
  for (const Asn1Item& item : items) EXPECT_EQ(item.data, nullptr);
}

TEST(DerPrimitive, HeaderSizesAndCopies) {
  const Bytes content200(200, 0x5A);
  Asn1Item out{};
  ASSERT_EQ(DerPrimitive(&out, 0x04, content200.data(), 200), 0);
  ASSERT_EQ(out.length, 203);
  EXPECT_EQ(Bytes(out.data, out.data + 3), Hex("04 81 C8"));
  EXPECT_EQ(Bytes(out.data + 3, out.data + 203), content200);

  Asn1Item wrapped{};
  ASSERT_EQ(DerWrap(&wrapped, 0xA0, out), 0);
  EXPECT_EQ(Bytes(wrapped.data, wrapped.data + 3), Hex("A0 81 CB"));
  DerFree(&wrapped);
  DerFree(&out);

  const Bytes content256(256, 0x11);
  ASSERT_EQ(DerPrimitive(&out, 0x04, content256.data(), 256), 0);
  EXPECT_EQ(Bytes(out.data, out.data + 4), Hex("04 82 01 00"));
  DerFree(&out);

  const Bytes oid = Hex("55 04 03");
  ASSERT_EQ(DerWrap(&out, 0x06, ItemOf(oid)), 0);
  EXPECT_EQ(Take(&out), Hex("06 03 55 04 03"));

  ASSERT_EQ(DerBitString(&out, Hex("AB CD").data(), 2), 0);
  EXPECT_EQ(Take(&out), Hex("03 03 00 AB CD"));
  ASSERT_EQ(DerBitString(&out, nullptr, 0), 0);
  EXPECT_EQ(Take(&out), Hex("03 01 00"));
  ASSERT_EQ(DerEmpty(&out, 0xA0), 0);
  EXPECT_EQ(Take(&out), Hex("A0 00"));
}

TEST(DerBuilder, RefusesInputsThatCannotBeEncoded) {
  // Each must fail before touching the missing bytes and leave the item empty.
  std::uint8_t stale = 0;
  const Asn1Item huge{&stale, INT32_MAX - 3};
  const Asn1Item negative{&stale, -1};
  const Asn1Item missing{nullptr, 4};
  auto expectRefused = [&](std::int32_t result, const Asn1Item& out, const char* why) {
    SCOPED_TRACE(why);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out.data, nullptr);
    EXPECT_EQ(out.length, 0);
  };
  Asn1Item out{&stale, 1};
  expectRefused(DerPrimitive(&out, 0x04, &stale, -1), out, "negative count");
  out = Asn1Item{&stale, 1};
  expectRefused(DerPrimitive(&out, 0x04, nullptr, 3), out, "bytes missing");
  out = Asn1Item{&stale, 1};
  expectRefused(DerPrimitive(&out, 0x04, &stale, INT32_MAX), out, "element longer than 2^31");
  out = Asn1Item{&stale, 1};
  expectRefused(DerBitString(&out, &stale, INT32_MAX - 6), out, "bit string too long");
  out = Asn1Item{&stale, 1};
  expectRefused(DerWrap(&out, 0x30, negative), out, "negative item");
  out = Asn1Item{&stale, 1};
  expectRefused(DerConstructed(&out, 0x10, &huge, &huge), out, "children sum past 2^31");
  out = Asn1Item{&stale, 1};
  expectRefused(DerConstructed(&out, 0x10, &missing), out, "child without bytes");
}

}  // namespace
}  // namespace kcertadm
