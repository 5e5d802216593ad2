// The extension lines of the reports.
#include "commands/report_extensions.h"

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// Extension ::= SEQUENCE { OID, critical BOOLEAN (when set), OCTET STRING value }
Bytes Extension(const std::string& oid, bool critical, const Bytes& value) {
  return Tlv(0x30,
             Cat({Tlv(0x06, Hex(oid)), critical ? Hex("01 01 FF") : Bytes{}, Tlv(0x04, value)}));
}

Bytes Oid(const std::string& hex) { return Tlv(0x06, Hex(hex)); }
Bytes Seq(std::initializer_list<Bytes> parts) { return Tlv(0x30, Cat(parts)); }
Bytes BasicConstraints(const std::string& value) {
  return Extension("55 1D 13", false, Hex(value));
}

// The lines the reports write of an extension list.
std::string LinesOf(const Bytes& list) {
  return Captured([&](std::FILE* f) { WriteExtensionLines(f, ItemOf(list)); });
}

const char kCps[] = "2B 06 01 05 05 07 02 01";
const char kUserNotice[] = "2B 06 01 05 05 07 02 02";

// Cases the extensions of chained.txt (compared in the certificate report) do not hold.
TEST(ReportExtensionLines, BlocksBeyondTheChainedCertificate) {
  const std::string basic = "Extension - Standard: Basic Constraints\n";
  const struct {
    const char* name;
    Bytes list;
    std::string expected;
  } kTests[] = {
      // Number 18 has a name of its own and ends its line like the others.
      {"issuer alternative name ends its line",
       Extension("55 1D 12", false, Hex("30 04 81 02 61 62")),
       "Extension - Standard: Issuer Alternative Name\n\tSequence:\n\t  Unknown type (0x81): 0x61 "
       "0x62 \n"},
      {"unnamed standard number", Extension("55 1D 2E", true, Hex("05 00")),
       "Extension - Standard: Critical, OID = 0x2e\n\tNull\n"},
      {"a bare family prefix is unknown", Extension("55 1D", false, Hex("05 00")),
       "Extension - Unknown: OID = 0x55 0x1D \n"},
      {"the DER default (no BOOLEAN) is dumped", BasicConstraints("30 00"),
       basic + "\tSequence:\n"},
      {"only a path length is dumped", BasicConstraints("30 03 02 01 05"),
       basic + "\tSequence:\n\t  Integer: 0x05 \n"},
      {"a long policy ID, a BMP notice and an unknown qualifier",
       Extension("55 1D 20", false,
                 Seq({Seq({Oid("2B 06 01 04 01 86 8D 1F 01 02 03 04 05 06 07"),
                           Seq({Seq({Oid(kUserNotice), Seq({Tlv(0x1E, Hex("00 C4 00 62"))})}),
                                Seq({Oid("2B 06 01 05 05 07 02 03"), Hex("05 00")})})})})),
       "Extension - Standard: Certificate Policies\n  Policy ID: "
       "\n    0x2B 0x06 0x01 0x04 0x01 0x86 0x8D 0x1F 0x01 0x02 0x03 0x04 0x05 0x06 \n    0x07 \n"
       "  User Notice:\n    Notice:  \"\xC3\x84"
       "b\"\n    Unknown Policy Qualifier\n"},
      // A policy value that does not decode ends only its own block.
      {"policies that do not decode",
       Cat({Extension("55 1D 20", true, Seq({Seq({Oid("55 1D 20 00"), Seq({Seq({Oid(kCps)})})})})),
            Extension("55 1D 20", false, Hex("04 00")),
            Extension("55 1D 0F", false, Hex("03 01 00"))}),
       "Extension - Standard: Critical, Certificate Policies\n  Policy ID: 0x55 0x1D 0x20 0x00 \n"
       "Extension - Standard: Certificate Policies\nExtension - Standard: Key Usage\n\tBit string: "
       "0x00 \n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(LinesOf(test.list), test.expected);
  }
}

// An absent path length constraint means no limit: it has no line (it used to read "= 0", the
// opposite).
TEST(ReportExtensionLines, BasicConstraintsShowAPathLengthOnlyWhenThereIsOne) {
  const std::string basic = "Extension - Standard: Basic Constraints\n\tValue is: CA = ";
  const struct {
    const char* value;
    std::string expected;
  } kTests[] = {
      {"30 03 01 01 FF", basic + "Yes\n"},
      {"30 03 01 01 00", basic + "No\n"},
      {"30 06 01 01 FF 02 01 00", basic + "Yes\n\tValue is: Path length constraint = 0\n"},
      {"30 0A 01 01 FF 02 05 01 00 00 00 00",
       basic + "Yes\n\tValue is: Path length constraint = 4294967296\n"},
      // A negative constraint, or one that is not an INTEGER, is not read as a number: its value is
      // dumped.
      {"30 06 01 01 FF 02 01 FF",
       "Extension - Standard: Basic Constraints\n\tSequence:\n\t  Unknown type (0x1): 0xFF \n\t  "
       "Integer: 0xFF \n"},
      {"30 05 01 01 FF 05 00",
       "Extension - Standard: Basic Constraints\n\tSequence:\n\t  Unknown type (0x1): 0xFF \n\t  "
       "Null\n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.value);
    EXPECT_EQ(LinesOf(BasicConstraints(test.value)), test.expected);
  }
}

// Whatever the list holds, the other extensions are still shown: one that cannot be read is written
// in hex.
TEST(ReportExtensionLines, AnExtensionThatCannotBeReadIsShownInHex) {
  const std::string keyUsage = "Extension - Standard: Key Usage\n\tBit string: 0x00 \n";
  const std::string unreadable = "Extension - Unreadable: ";
  const struct {
    const char* why;
    Bytes list;
    std::string expected;
  } kTests[] = {
      {"an element that is not an Extension", Hex("31 05 06 03 55 1D 0F"),
       unreadable + "0x06 0x03 0x55 0x1D 0x0F \n"},
      {"an Extension without OID", Seq({Hex("04 02 05 00")}),
       unreadable + "0x04 0x02 0x05 0x00 \n"},
      {"a classified Extension without value", Seq({Oid("55 1D 0F")}),
       unreadable + "0x06 0x03 0x55 0x1D 0x0F \n"},
      {"an empty value", Extension("55 1D 0F", false, {}),
       unreadable + "0x06 0x03 0x55 0x1D 0x0F 0x04 0x00 \n"},
      {"a value whose element overruns it", Extension("55 1D 0F", false, Hex("03 05 00")),
       unreadable + "0x06 0x03 0x55 0x1D 0x0F 0x04 0x03 0x03 0x05 0x00 \n"},
      {"a dumped child that overruns its parent", Extension("55 1D 11", false, Hex("30 02 82 05")),
       "Extension - Standard: Subject Alternative Name\n\tSequence:\n\t  Undecodable: 0x82 0x05 "
       "\n"},
      {"an unreadable Extension between two",
       Cat({Extension("55 1D 0F", false, Hex("03 01 00")), Seq({Hex("02 01 01")}),
            Extension("55 1D 0F", false, Hex("03 01 00"))}),
       keyUsage + unreadable + "0x02 0x01 0x01 \n" + keyUsage},
      {"a truncated second Extension",
       Cat({Extension("55 1D 0F", false, Hex("03 01 00")), Hex("30 09 06")}),
       keyUsage + unreadable + "0x30 0x09 0x06 \n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    EXPECT_EQ(LinesOf(test.list), test.expected);
  }
}

}  // namespace
}  // namespace kcertadm
