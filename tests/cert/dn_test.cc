// Distinguished names: reading a Name into slots, string types, encoding a subject.
#include "cert/dn.h"

#include <gtest/gtest.h>

#include "asn1/asn1.h"
#include "key_util.h"

namespace kcertadm {
namespace {

using namespace test;

const Bytes kCn = Hex("55 04 03"), kCountry = Hex("55 04 06"), kOrg = Hex("55 04 0A"),
            kOrgUnit = Hex("55 04 0B");
const Bytes kEmail = Hex("2A 86 48 86 F7 0D 01 09 01");

// The filled slots as "slot=value ...", or "refused <message>".
std::string Parse(const Bytes& der) {
  DnFields fields{};
  std::uint32_t error = 0;
  if (ParseDNSeq(&fields, ItemOf(der), &error) != 0) return "refused " + std::to_string(error);
  std::string out;
  for (int slot = 0; slot < DN_SLOT_COUNT; ++slot) {
    const DnField& v = fields.slot[slot];
    if (v.value)
      out += " " + std::to_string(slot) + "=" +
             std::string(reinterpret_cast<const char*>(v.value), v.length);
  }
  return out.empty() ? out : out.substr(1);
}

TEST(ParseDNSeq, MapsAttributesToSlots) {
  const Bytes a = Rdn(kOrgUnit, 0x13, "A"), b = Rdn(kOrgUnit, 0x13, "B"),
              cn = Rdn(kCn, 0x13, "Joe");
  const struct {
    const char* name;
    Bytes der;
    std::string want;
  } kTests[] = {
      {"organizational units fill 4, 7 and 8; a fourth is dropped",
       Name({a, b, Rdn(kOrgUnit, 0x13, "C"), Rdn(kOrgUnit, 0x13, "D")}), "4=A 7=B 8=C"},
      {"serial number and unknown X.520 types are ignored",
       Name({Rdn(Hex("55 04 05"), 0x13, "123"), Rdn(Hex("55 04 2A"), 0x0C, "G"),
             Rdn(kCn, 0x0C, "X")}),
       "5=X"},
      {"pkcs-9 other than e-mail is ignored",
       Name({Rdn(Hex("2A 86 48 86 F7 0D 01 09 02"), 0x16, "u"), Rdn(kEmail, 0x16, "a@b")}),
       "6=a@b"},
      {"OIDs of other lengths are skipped",
       Name({Rdn(Hex("09 92 26 89 93 F2 2C 64 01 19"), 0x16, "com"), Rdn(kCountry, 0x13, "DE")}),
       "0=DE"},
      // Only the X.520 arc has slots: another 3-octet OID ending in 3 is not a common name.
      {"three-octet OID outside X.520", Name({Rdn(Hex("2B 06 03"), 0x13, "no")}), ""},
      {"a later attribute replaces an earlier one", Name({Rdn(kCn, 0x13, "first"), cn}), "5=Joe"},
      {"multi-valued RDN",
       Tlv(0x30, Tlv(0x31, Cat({Tlv(0x30, Cat({Tlv(0x06, kOrg), Tlv(0x13, Text("O"))})),
                                Tlv(0x30, Cat({Tlv(0x06, kCn), Tlv(0x13, Text("C"))}))}))),
       "3=O 5=C"},
      // Hostile: each must be refused, not read in part.
      {"a Name without RDNs", Hex("30 00"), "refused 30046"},
      {"not a SEQUENCE", Tlv(0x31, cn), "refused 30046"},
      {"trailing octet after the Name", Cat({Name({cn}), Hex("00")}), "refused 30046"},
      {"an empty SET", Name({Hex("31 00")}), "refused 30046"},
      {"an RDN that is not a SET", Name({Tlv(0x30, Hex("06 03 55 04 03 13 01 41"))}),
       "refused 30046"},
      {"an attribute without OID", Name({Tlv(0x31, Tlv(0x30, Hex("13 01 41")))}), "refused 30046"},
      {"UniversalString value", Name({Rdn(kCn, 0x1C, "Joe")}), "refused 30046"},
      {"9-octet OID outside pkcs-9", Name({Rdn(Hex("2A 86 48 86 F7 0D 01 07 01"), 0x13, "x")}),
       "refused 30046"},
      {"an extra element after the value",
       Name({Tlv(0x31, Tlv(0x30, Cat({Tlv(0x06, kCn), Hex("13 01 41 05 00")})))}), "refused 30046"},
      {"a SET claiming more than the Name holds", Hex("30 04 31 7F 30 00"), "refused 30046"},
  };
  for (const auto& c : kTests) EXPECT_EQ(Parse(c.der), c.want) << c.name;
  EXPECT_EQ(Parse({}), "refused 30046") << "no Name at all";
}

TEST(ChooseStringType, PicksTypeAndChecksLength) {
  IntlEncodingScope scope(0x0C);
  const struct {
    const char* name;
    int slot;
    std::string text;
    int want; /* tag, 0: does not fit */
  } kTests[] = {
      {"two-letter country", DN_COUNTRY, "US", 0x13},
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
    DnValue value[DN_SLOT_COUNT]{};
    const int fits = ChooseStringType(c.text.c_str(), &value[0], DnAttributeTable[c.slot]);
    EXPECT_EQ(fits ? value[0].stringTag : 0, c.want) << c.name;
    FreeDnValues(value);
  }
}

TEST(BuildSubjectName, EncodesEverySlotInOrder) {
  IntlEncodingScope scope(0x1E);
  // (The slots the build vectors fill are checked there; here empty slots, BMPString and the later
  // units.)
  const char* strings[DN_SLOT_COUNT] = {
      "DE", nullptr, "M\xC3\xBCnchen", nullptr, "U1", "Joe", nullptr, "U2", "U3"};
  DnValue values[DN_SLOT_COUNT];
  std::uint32_t error = 0;
  ASSERT_EQ(BuildSubjectName(strings, values, 1, &error), 1);
  Asn1Item name{};
  EXPECT_EQ(EncodeName(&name, values), 0);
  FreeDnValues(values);
  const std::string bmp("\0M\0\xFC\0n\0c\0h\0e\0n", 14);
  EXPECT_EQ(BytesOf(name), Name({Rdn(kCountry, 0x13, "DE"), Rdn(Hex("55 04 07"), 0x1E, bmp),
                                 Rdn(kOrgUnit, 0x13, "U1"), Rdn(kCn, 0x13, "Joe"),
                                 Rdn(kOrgUnit, 0x13, "U2"), Rdn(kOrgUnit, 0x13, "U3")}));
  DerFree(&name);
  // (A missing common name or a bad country is refused through CreateKeyFile.)
  const char* emptyOrg[DN_SLOT_COUNT] = {nullptr, nullptr, nullptr, "", nullptr, "Joe"};
  EXPECT_EQ(std::pair(BuildSubjectName(emptyOrg, values, 1, &error), error), std::pair(0, 30061u))
      << "an empty value";
  FreeDnValues(values);
}

}  // namespace
}  // namespace kcertadm
