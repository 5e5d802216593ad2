// Distinguished names: reading a Name into slots, choosing string types and
// encoding a subject.
#include "cert/dn.h"

#include <gtest/gtest.h>

#include <string>

#include "asn1/asn1.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::Name;
using test::Rdn;
using test::Tlv;

const Bytes kCn = Hex("55 04 03");
const Bytes kCountry = Hex("55 04 06");
const Bytes kOrg = Hex("55 04 0A");
const Bytes kOrgUnit = Hex("55 04 0B");
const Bytes kEmail = Hex("2A 86 48 86 F7 0D 01 09 01");

int32_t Parse(Bytes& der, DnFields* fields, uint32_t* error) {
  *fields = DnFields{};
  return ParseDNSeq(fields, Asn1Item{der.data(), static_cast<int32_t>(der.size())}, error);
}

// The filled slots as "slot=value ...".
std::string FilledSlots(const DnFields& f) {
  std::string out;
  for (int slot = 0; slot < DN_SLOT_COUNT; ++slot) {
    const DnField& v = f.slot[slot];
    if (v.value) out += (out.empty() ? "" : " ") + std::to_string(slot) + "=" + std::string(reinterpret_cast<const char*>(v.value), v.length);
  }
  return out;
}

TEST(ParseDNSeq, MapsAttributesToSlots) {
  const struct { const char* name; Bytes der; std::string want; } kTests[] = {
      {"common name only", Name({Rdn(kCn, 0x13, "Joe")}), "5=Joe"},
      {"two organizational units fill 4 and 7", Name({Rdn(kOrgUnit, 0x13, "A"), Rdn(kOrgUnit, 0x13, "B")}), "4=A 7=B"},
      {"a fourth organizational unit is dropped",
       Name({Rdn(kOrgUnit, 0x13, "A"), Rdn(kOrgUnit, 0x13, "B"), Rdn(kOrgUnit, 0x13, "C"), Rdn(kOrgUnit, 0x13, "D")}),
       "4=A 7=B 8=C"},
      {"serial number and unknown X.520 types are ignored",
       Name({Rdn(Hex("55 04 05"), 0x13, "123"), Rdn(Hex("55 04 2A"), 0x0C, "G"), Rdn(kCn, 0x0C, "X")}), "5=X"},
      {"pkcs-9 other than e-mail is ignored", Name({Rdn(Hex("2A 86 48 86 F7 0D 01 09 02"), 0x16, "u"), Rdn(kEmail, 0x16, "a@b")}),
       "6=a@b"},
      {"OIDs of other lengths are skipped",
       Name({Rdn(Hex("09 92 26 89 93 F2 2C 64 01 19"), 0x16, "com"), Rdn(kCountry, 0x13, "DE")}), "0=DE"},
      // Only the X.520 arc has slots: another 3-octet OID ending in 3 is not a
      // common name.
      {"three-octet OID outside X.520", Name({Rdn(Hex("2B 06 03"), 0x13, "no")}), ""},
      {"a later attribute replaces an earlier one", Name({Rdn(kCn, 0x13, "first"), Rdn(kCn, 0x13, "second")}),
       "5=second"},
      {"multi-valued RDN",
       Tlv(0x30, Tlv(0x31, Cat({Tlv(0x30, Cat({Tlv(0x06, kOrg), Tlv(0x13, test::Text("O"))})),
                                 Tlv(0x30, Cat({Tlv(0x06, kCn), Tlv(0x13, test::Text("C"))}))}))),
       "3=O 5=C"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    Bytes der = c.der;
    DnFields fields;
    uint32_t error = 0;
    ASSERT_EQ(Parse(der, &fields, &error), 0);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(FilledSlots(fields), c.want);
  }
}

TEST(ParseDNSeq, RefusesMalformedNames) {
  const Bytes cn = Rdn(kCn, 0x13, "Joe");
  const struct { const char* why; Bytes der; } kTests[] = {
      {"a Name without RDNs", Hex("30 00")},
      {"not a SEQUENCE", Tlv(0x31, cn)},
      {"trailing octet after the Name", Cat({Name({cn}), Hex("00")})},
      {"an empty SET", Name({Hex("31 00")})},
      {"an RDN that is not a SET", Name({Tlv(0x30, Hex("06 03 55 04 03 13 01 41"))})},
      {"an attribute without OID", Name({Tlv(0x31, Tlv(0x30, Hex("13 01 41")))})},
      {"an empty attribute", Name({Tlv(0x31, Hex("30 00"))})},
      {"UniversalString value", Name({Rdn(kCn, 0x1C, "Joe")})},
      {"9-octet OID outside pkcs-9", Name({Rdn(Hex("2A 86 48 86 F7 0D 01 07 01"), 0x13, "x")})},
      {"an extra element after the value",
       Name({Tlv(0x31, Tlv(0x30, Cat({Tlv(0x06, kCn), Hex("13 01 41 05 00")})))})},
      {"a SET claiming more than the Name holds", Hex("30 04 31 7F 30 00")},
      {"a value claiming more than its SEQUENCE", Hex("30 0B 31 09 30 07 06 03 55 04 03 13 05")},
      {"a length of five octets", Hex("30 85 00 00 00 00 02 31 00")},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    Bytes der = c.der;
    DnFields fields;
    uint32_t error = 0;
    EXPECT_EQ(Parse(der, &fields, &error), -1);
    EXPECT_EQ(error, 30046u);
  }
  uint32_t error = 0;
  DnFields fields{};
  EXPECT_EQ(ParseDNSeq(&fields, Asn1Item{nullptr, 0}, &error), -1);
}

TEST(ChooseStringType, PicksTypeAndChecksLength) {
  test::IntlEncodingScope scope(0x0C);
  struct Case {
    const char* name;
    int slot;
    std::string text;
    int want;  // tag, or 0 when the value does not fit
  };
  const Case kTests[] = {
      {"two-letter country", DN_COUNTRY, "US", 0x13},
      {"three-letter country", DN_COUNTRY, "USA", 0},
      {"country with IA5 only character", DN_COUNTRY, "a@", 0x16},
      {"two-letter state", DN_STATE, "NY", 0},
      {"three-letter state", DN_STATE, "Ohi", 0x13},
      {"128-octet locality", DN_LOCALITY, std::string(128, 'a'), 0x13},
      {"129-octet locality", DN_LOCALITY, std::string(129, 'a'), 0},
      {"64-octet common name", DN_COMMON_NAME, std::string(64, 'c'), 0x13},
      {"65-octet common name", DN_COMMON_NAME, std::string(65, 'c'), 0},
      {"length counts octets, not letters", DN_COMMON_NAME, std::string(66, '\xC3'), 0},
      {"printable punctuation", DN_ORG_UNIT, "A (b) +,-./:=?'", 0x13},
      {"DEL is accepted as IA5", DN_ORG_UNIT2, "a\x7F", 0x16},
      {"ampersand is IA5", DN_ORGANIZATION, "Smith & Co", 0x16},
      {"non-ASCII organization", DN_ORGANIZATION, "Caf\xC3\xA9", 0x0C},
      {"control character", DN_ORG_UNIT3, "a\tb", 0x0C},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    DnValue value{};
    const int fits = ChooseStringType(c.text.c_str(), &value, DnAttributeTable[c.slot]);
    EXPECT_EQ(fits, c.want != 0 ? 1 : 0);
    if (fits) EXPECT_EQ(value.stringTag, c.want);
    DnValue one[DN_SLOT_COUNT] = {value};
    FreeDnValues(one);
  }
  DnValue value{};
  EXPECT_EQ(ChooseStringType("Caf\xC3\xA9", &value, DnAttributeTable[DN_ORGANIZATION], 0), 0)
      << "without the international set";
}

TEST(BuildSubjectName, RequiresCommonNameAndStopsAtAMisfit) {
  const struct { const char* name; const char* strings[DN_SLOT_COUNT]; int want; } kTests[] = {
      {"common name only", {nullptr, nullptr, nullptr, nullptr, nullptr, "Joe"}, 1},
      {"missing common name", {"US", nullptr, nullptr, "Org"}, 0},
      {"bad country", {"USA", nullptr, nullptr, nullptr, nullptr, "Joe"}, 0},
      {"empty organization", {nullptr, nullptr, nullptr, "", nullptr, "Joe"}, 0},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.name);
    DnValue values[DN_SLOT_COUNT];
    uint32_t error = 0;
    EXPECT_EQ(std::pair(BuildSubjectName(c.strings, values, 1, &error), error), std::pair(c.want, c.want ? 0u : 30061u));
    FreeDnValues(values);
  }
}

TEST(EncodeName, EverySlotInOrder) {
  test::IntlEncodingScope scope(0x1E);
  const char* strings[DN_SLOT_COUNT] = {"DE", "Bayern", "M\xC3\xBCnchen", "Org", "U1", "Joe", "j@x.de", "U2", "U3"};
  DnValue values[DN_SLOT_COUNT];
  uint32_t error = 0;
  ASSERT_EQ(BuildSubjectName(strings, values, 1, &error), 1);
  Asn1Item name{};
  EXPECT_EQ(EncodeName(&name, values), 0);
  FreeDnValues(values);
  const Bytes want = Name({Rdn(kCountry, 0x13, "DE"), Rdn(Hex("55 04 08"), 0x13, "Bayern"),
                           Rdn(Hex("55 04 07"), 0x1E, std::string("\0M\0\xFC\0n\0c\0h\0e\0n", 14)),
                           Rdn(kOrg, 0x13, "Org"), Rdn(kOrgUnit, 0x13, "U1"), Rdn(kCn, 0x13, "Joe"),
                           Rdn(kEmail, 0x16, "j@x.de"), Rdn(kOrgUnit, 0x13, "U2"), Rdn(kOrgUnit, 0x13, "U3")});
  EXPECT_EQ(test::ToHex(test::BytesOf(name)), test::ToHex(want));
  DerFree(&name);
}

}  // namespace
}  // namespace kcertadm
