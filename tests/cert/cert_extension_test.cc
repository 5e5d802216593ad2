// Extension classification for the reports, critical flags included.
#include "cert/cert_extension.h"

#include <gtest/gtest.h>

#include <string>

#include "der_util.h"

namespace kcertadm {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::Tlv;

using test::ItemOf;

TEST(OpenExtension, ClassifiesAndStepsOverTheCriticalFlag) {
  struct Case {
    const char* name;
    Bytes extension;  // content of the Extension SEQUENCE
    int result;
    std::int32_t family, number, critical;
    std::string first;  // tag and content of the element at the cursor
  };
  const Bytes basic = Hex("30 06 01 01 FF 02 01 03");
  const Case kTests[] = {
      {"basic constraints, critical", Cat({Hex("06 03 55 1D 13 01 01 FF"), Tlv(0x04, basic)}), 1,
       kExtensionStandard, 19, 1, "30: 01 01 FF 02 01 03"},
      {"critical flag false", Cat({Hex("06 03 55 1D 13 01 01 00"), Tlv(0x04, basic)}), 1,
       kExtensionStandard, 19, 0, "30: 01 01 FF 02 01 03"},
      {"key usage", Cat({Hex("06 03 55 1D 0F"), Tlv(0x04, Hex("03 02 01 06"))}), 1,
       kExtensionStandard, 15, 0, "03: 01 06"},
      {"authority information access",
       Cat({Hex("06 08 2B 06 01 05 05 07 01 01"), Tlv(0x04, Hex("30 00"))}), 1, kExtensionPrivate,
       1, 0, "30: "},
      {"netscape cert type",
       Cat({Hex("06 09 60 86 48 01 86 F8 42 01 01"), Tlv(0x04, Hex("03 02 07 80"))}), 1,
       kExtensionNetscape, 1, 0, "03: 07 80"},
      {"unknown OID", Cat({Hex("06 03 2A 03 04"), Tlv(0x04, Hex("05 00"))}), 0, kExtensionUnknown,
       0, 0, "06: 2A 03 04"},
      {"family prefix alone is not classified", Cat({Hex("06 02 55 1D"), Tlv(0x04, Hex("05 00"))}), 0,
       kExtensionUnknown, 0, 0, "06: 55 1D"},
      {"no OID", Tlv(0x04, basic), -1, 0, 0, 0, ""},
      {"no value", Hex("06 03 55 1D 13 01 01 FF"), -1, 0, 0, 0, ""},
      {"empty value", Cat({Hex("06 03 55 1D 13"), Hex("04 00")}), -1, 0, 0, 0, ""},
      {"value overruns", Cat({Hex("06 03 55 1D 13"), Hex("04 04 30 05 01")}), -1, 0, 0, 0, ""},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.name);
    Bytes extension = c.extension;
    ExtensionRef ref;
    ASSERT_EQ(OpenExtension(ItemOf(extension), &ref), c.result);
    if (c.result < 0) continue;
    EXPECT_EQ(ref.family, c.family);
    EXPECT_EQ(ref.number, c.number);
    EXPECT_EQ(ref.critical, c.critical);
    const Bytes at(ref.cursor.pos, ref.cursor.pos + ref.cursor.length);
    char tag[8];
    std::snprintf(tag, sizeof tag, "%02X: ", ref.cursor.tag);
    EXPECT_EQ(tag + test::ToHex(at), c.first);
  }
}

TEST(ReadBasicConstraints, FlagAndPathLength) {
  struct Case {
    Bytes content;
    int result;
    std::int32_t flag, pathLength;
  };
  const Case kTests[] = {
      {Hex("01 01 FF 02 01 03"), 0, 0xFF, 3},
      {Hex("01 01 FF"), 0, 0xFF, 0},
      {Hex("01 01 00"), 0, 0, 0},
      {Hex("02 01 03"), -1, 0, 0},  // cA omitted, as DER does for FALSE
      {Hex(""), -1, 0, 0},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(test::ToHex(c.content));
    Bytes content = c.content;
    std::int32_t flag = -1, pathLength = -1;
    EXPECT_EQ(ReadBasicConstraints(ItemOf(content), &flag, &pathLength), c.result);
    EXPECT_EQ(flag, c.flag);
    EXPECT_EQ(pathLength, c.pathLength);
  }
}

}  // namespace
}  // namespace kcertadm
