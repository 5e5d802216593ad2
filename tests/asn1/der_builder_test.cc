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

Bytes Take(Asn1Item* item) {
  Bytes bytes = BytesOf(*item);
  DerFree(item);
  return bytes;
}

// Every boundary between the length forms.
TEST(DerHeader, SizeAndOctetsFollowTheContentLength) {
  const std::pair<std::int32_t, const char*> kTests[] = {
      {127, "04 7F"},
      {128, "04 81 80"},
      {255, "04 81 FF"},
      {256, "04 82 01 00"},
      {65535, "04 82 FF FF"},
      {65536, "04 83 01 00 00"},
      {16777215, "04 83 FF FF FF"},
      {16777216, "04 84 01 00 00 00"},
      {INT32_MAX, "04 84 7F FF FF FF"},
  };
  for (const auto& [length, hex] : kTests) {
    const Bytes expected = Hex(hex);
    ASSERT_EQ(DerHeaderSize(length), static_cast<std::int32_t>(expected.size())) << length;
    Bytes header(expected.size());
    DerWriteHeader(header.data(), 0x04, DerHeaderSize(length), length);
    EXPECT_EQ(header, expected);
  }
}

TEST(DerConstructed, ConcatenatesNonEmptyChildrenInOrder) {
  Asn1Item a{}, b{}, empty{}, out{};
  ASSERT_EQ(DerInteger(&a, 0x80), 0);  // the top bit set: a leading zero octet
  ASSERT_EQ(DerEmpty(&b, 0x31), 0);
  ASSERT_EQ(DerConstructed(&out, 0x10, &a, &empty, &b), 0);
  EXPECT_EQ(Take(&out), Hex("30 06 02 02 00 80 31 00"));
  ASSERT_EQ(DerConstructed(&out, 0x80, &b, nullptr, &a), 0);
  EXPECT_EQ(Take(&out), Hex("A0 02 31 00")) << "0x80 gives [0]; the list ends at the null pointer";
  const Asn1Item* list[] = {&b, &b, &b};
  ASSERT_EQ(DerConstructedList(&out, 0x11, list, 3), 0);
  EXPECT_EQ(Take(&out), Hex("31 06 31 00 31 00 31 00"));
  // The children were copied: they are still the caller's to free.
  EXPECT_EQ(BytesOf(a), Hex("02 02 00 80"));
  Asn1Item items[] = {a, b, empty};
  DerFreeItems(items);
  for (const Asn1Item& item : items) EXPECT_EQ(item.data, nullptr);
}

TEST(DerBuilder, RefusesInputsThatCannotBeEncoded) {
  std::uint8_t stale = 0;
  const Asn1Item huge{&stale, INT32_MAX - 3}, missing{nullptr, 4};
  // Each must fail before touching the missing bytes and leave the item empty.
  const struct {
    const char* why;
    std::function<std::int32_t(Asn1Item*)> build;
  } kTests[] = {
      {"negative count", [&](Asn1Item* out) { return DerPrimitive(out, 0x04, &stale, -1); }},
      {"bytes missing", [&](Asn1Item* out) { return DerPrimitive(out, 0x04, nullptr, 3); }},
      {"element longer than 2^31",
       [&](Asn1Item* out) { return DerPrimitive(out, 0x04, &stale, INT32_MAX); }},
      {"bit string too long",
       [&](Asn1Item* out) { return DerBitString(out, &stale, INT32_MAX - 6); }},
      {"negative item",
       [&](Asn1Item* out) {
         return DerWrap(out, 0x30, Asn1Item{&stale, -1});
       }},
      {"children sum past 2^31",
       [&](Asn1Item* out) { return DerConstructed(out, 0x10, &huge, &huge); }},
      {"child without bytes", [&](Asn1Item* out) { return DerConstructed(out, 0x10, &missing); }},
  };
  for (const auto& c : kTests) {
    Asn1Item out{&stale, 1};
    EXPECT_EQ(c.build(&out), -1) << c.why;
    EXPECT_TRUE(out.data == nullptr && out.length == 0) << c.why;
  }
}

}  // namespace
}  // namespace kcertadm
