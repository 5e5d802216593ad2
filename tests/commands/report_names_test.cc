// The name lines of the reports: every attribute shown, every value on one line. Slot order,
// prefixes and the string conversions of ordinary names are in strings.txt.
#include "commands/report_names.h"

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

const Bytes kCn = Hex("55 04 03"), kOrg = Hex("55 04 0A"), kOrgUnit = Hex("55 04 0B"),
            kCountry = Hex("55 04 06");

std::string Lines(const Bytes& name) {
  return Captured([&](std::FILE* f) { WriteNameLines(f, ItemOf(name), "Subject"); });
}
Bytes Member(const Bytes& oid, std::uint8_t tag, const std::string& value) {
  return Tlv(0x30, Cat({Tlv(0x06, oid), Tlv(tag, test::Text(value))}));
}

TEST(ReportNameLines, EveryAttributeOfTheNameHasALine) {
  const struct {
    const char* why;
    Bytes name;
    std::string expected;
  } kTests[] = {
      // The first value keeps its line; the old report showed only the last.
      {"a second CN and O",
       test::Name({test::Rdn(kCn, 0x0C, "first"), test::Rdn(kOrg, 0x0C, "O1"),
                   test::Rdn(kCn, 0x0C, "second"), test::Rdn(kOrg, 0x0C, "O2")}),
       "SubjectOrg: O1\nSubjectCommonName: first\nSubjectCommonName2: second\nSubjectOrg2: O2\n"},
      {"a fourth OU follows the three OU lines",
       test::Name({test::Rdn(kOrgUnit, 0x13, "U1"), test::Rdn(kOrgUnit, 0x13, "U2"),
                   test::Rdn(kOrgUnit, 0x13, "U3"), test::Rdn(kOrgUnit, 0x13, "U4"),
                   test::Rdn(kCountry, 0x13, "US"), test::Rdn(kCountry, 0x13, "DE")}),
       "SubjectCountry: US\nSubjectOrgUnit: U1\nSubjectOrgUnit2: U2\nSubjectOrgUnit3: "
       "U3\nSubjectOrgUnit4: U4\n"
       "SubjectCountry2: DE\n"},
      // Attributes without a line of their own were dropped.
      {"attributes without a named line",
       test::Name({test::Rdn(Hex("55 04 05"), 0x13, "42"),
                   test::Rdn(Hex("09 92 26 89 93 F2 2C 64 01 19"), 0x16, "example"),
                   test::Rdn(Hex("2A 86 48 86 F7 0D 01 09 02"), 0x16, "host"),
                   test::Rdn(Hex("2B 06 01 04 01 82 37 3C 02 01 03"), 0x13, "US")}),
       "SubjectOther: 2.5.4.5 = 42\nSubjectOther: 0.9.2342.19200300.100.1.25 = example\n"
       "SubjectOther: 1.2.840.113549.1.9.2 = host\nSubjectOther: 1.3.6.1.4.1.311.60.2.1.3 = US\n"},
      {"a multi-valued RDN",
       test::Name(
           {Tlv(0x31, Cat({Member(kCn, 0x0C, "ada"), Member(Hex("55 04 2A"), 0x0C, "Ada")}))}),
       "SubjectCommonName: ada\nSubjectOther: 2.5.4.42 = Ada\n"},
      {"an empty Name", test::Name({}), ""},
      {"an empty RDN is skipped", test::Name({Tlv(0x31, {}), test::Rdn(kCn, 0x13, "x")}),
       "SubjectCommonName: x\n"},
      // Values that are not character strings, in the RFC 4514 hex form of their element.
      {"values of other types",
       test::Name({test::Rdn(kCn, 0x04, "\x01\x02"), test::Rdn(Hex("55 04 2D"), 0x03, "")}),
       "SubjectCommonName: #04020102\nSubjectOther: 2.5.4.45 = #0300\n"},
      {"a malformed OID in hex", test::Name({test::Rdn(Hex("55 84"), 0x13, "x")}),
       "SubjectOther: #5584 = x\n"},
      // Parts that are not attributes: each in hex, the rest still shown.
      {"a member that is not a SEQUENCE",
       test::Name({Tlv(0x31, Hex("13 01 78")), test::Rdn(kCn, 0x13, "x")}),
       "SubjectCommonName: x\nSubjectUnreadable: #130178\n"},
      {"a child of the Name that is not a SET",
       test::Name({Hex("05 00"), test::Rdn(kCn, 0x13, "x")}),
       "SubjectCommonName: x\nSubjectUnreadable: #0500\n"},
      {"a member with two values",
       test::Name({Tlv(0x31, Tlv(0x30, Cat({Tlv(0x06, kCn), Hex("13 01 61 13 01 62")})))}),
       "SubjectUnreadable: #300B0603550403130161130162\n"},
      {"a header cut short", test::Name({test::Rdn(kCn, 0x13, "x"), Hex("31 05 30")}),
       "SubjectCommonName: x\nSubjectUnreadable: #310530\n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    EXPECT_EQ(Lines(test.name), test.expected);
  }
}

TEST(ReportNameLines, EveryValueIsOneLineAndWhole) {
  const std::string x200(200, 'x');
  const struct {
    const char* why;
    std::uint8_t tag;
    std::string value;
    std::string shown;
  } kTests[] = {
      {"plain text stays as it is", 0x13, "Example Org (Test) 1", "Example Org (Test) 1"},
      // A line end would add a line of the value's choosing.
      {"line ends", 0x0C, "evil\nTrustedRoot: yes\r\n", "evil\\x0ATrustedRoot: yes\\x0D\\x0A"},
      // A NUL cut the value short.
      {"NUL", 0x16, std::string("www.bank.example\0.evil.example", 30),
       "www.bank.example\\x00.evil.example"},
      {"escape, DEL and a backslash", 0x0C, "a\x1b[0m\x7f\\", "a\\x1B[0m\\x7F\\x5C"},
      {"bytes that are not UTF-8", 0x0C, "\xff\xc3(", "\\xFF\\xC3("},
      {"line separator and right-to-left override", 0x0C, "a\u2028b\u202Ec",
       "a\\xE2\\x80\\xA8b\\xE2\\x80\\xAEc"},
      {"UTF-8 letters", 0x0C, "Stra\u00dfe \u65e5\u672c", "Stra\u00dfe \u65e5\u672c"},
      {"a long value is not cut", 0x13, x200, x200},
      // The string types the old report refused (30046 for the whole key ring listing).
      {"UniversalString", 0x1C, std::string("\0\0\0A\0\0\0\xe9\0\x01\xf6\x00", 12),
       "A\u00e9\U0001F600"},
      {"UniversalString of a broken length", 0x1C, std::string("\0\0\0A\0", 5), "#1C050000004100"},
      {"UniversalString beyond Unicode", 0x1C, std::string("\0\x11\0\0", 4), "#1C0400110000"},
      {"NumericString", 0x12, "0123 4567", "0123 4567"},
      {"VisibleString", 0x1A, "Visible", "Visible"},
      {"BMPString with an odd last octet", 0x1E, std::string("\0G\0\xe8\x41", 5), "G\u00e8\\x41"},
      {"BMPString of a control", 0x1E, std::string("\0\n", 2), "\\x0A"},
      {"BMPString with a surrogate pair", 0x1E, std::string("\xd8\x3d\xde\x00", 4), "\U0001F600"},
      {"BMPString with a lone surrogate", 0x1E, std::string("\0A\xd8\x3d", 4), "#1E040041D83D"},
      {"T61String read as ISO 8859-1", 0x14, "M\xfcnchen\n", "M\u00fcnchen\\x0A"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    EXPECT_EQ(Lines(test::Name({test::Rdn(kCn, test.tag, test.value)})),
              "SubjectCommonName: " + test.shown + "\n");
  }
}

}  // namespace
}  // namespace kcertadm
