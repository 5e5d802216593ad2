// The extension lines of the reports.
#include "commands/report_extensions.h"

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// Extension ::= SEQUENCE { OID, critical BOOLEAN (when set), OCTET STRING value }
Bytes Extension(const std::string& oid, bool critical, const Bytes& value) {
  return Tlv(0x30, Cat({Tlv(0x06, Hex(oid)), critical ? Hex("01 01 FF") : Bytes{}, Tlv(0x04, value)}));
}

Bytes Oid(const std::string& hex) { return Tlv(0x06, Hex(hex)); }
Bytes Seq(std::initializer_list<Bytes> parts) { return Tlv(0x30, Cat(parts)); }
Bytes BasicConstraints(const std::string& value) { return Extension("55 1D 13", false, Hex(value)); }

const char kRefused[] = "refused";
const char kCps[] = "2B 06 01 05 05 07 02 01";
const char kUserNotice[] = "2B 06 01 05 05 07 02 02";

// Cases the extensions of chained.txt (compared in the certificate report) do not hold, and refusals.
TEST(ReportExtensionLines, BlocksBeyondTheChainedCertificateAndRefusals) {
  const std::string basic = "Extension - Standard: Basic Constraints\n";
  const struct { const char* name; Bytes list; std::string expected; } kTests[] = {  // refused: 30046, no text
      // Number 18 has a name of its own and ends its line like the others.
      {"issuer alternative name ends its line", Extension("55 1D 12", false, Hex("30 04 81 02 61 62")),
       "Extension - Standard: Issuer Alternative Name\n\tSequence:\n\t  Unknown type (0x81): 0x61 0x62 \n"},
      {"unnamed standard number", Extension("55 1D 2E", true, Hex("05 00")),
       "Extension - Standard: Critical, OID = 0x2e\n\tNull\n"},
      {"a bare family prefix is unknown", Extension("55 1D", false, Hex("05 00")),
       "Extension - Unknown: OID = 0x55 0x1D \n"},
      {"CA without a path length writes 0", BasicConstraints("30 03 01 01 FF"),
       basic + "\tValue is: CA = Yes\n\tValue is: Path length constraint = 0\n"},
      {"an explicit FALSE", BasicConstraints("30 03 01 01 00"),
       basic + "\tValue is: CA = No\n\tValue is: Path length constraint = 0\n"},
      {"the DER default (no BOOLEAN) is dumped", BasicConstraints("30 00"), basic + "\tSequence:\n"},
      {"only a path length is dumped", BasicConstraints("30 03 02 01 05"), basic + "\tSequence:\n\t  Integer: 0x05 \n"},
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
            Extension("55 1D 20", false, Hex("04 00")), Extension("55 1D 0F", false, Hex("03 01 00"))}),
       "Extension - Standard: Critical, Certificate Policies\n  Policy ID: 0x55 0x1D 0x20 0x00 \n"
       "Extension - Standard: Certificate Policies\nExtension - Standard: Key Usage\n\tBit string: 0x00 \n"},
      // Refused: each breaks the Extension shape or its bounds.
      {"an element that is not an Extension", Hex("31 05 06 03 55 1D 0F"), kRefused},
      {"an Extension without OID", Seq({Hex("04 02 05 00")}), kRefused},
      {"a classified Extension without value", Seq({Oid("55 1D 0F")}), kRefused},
      {"a value that is not an OCTET STRING", Seq({Oid("55 1D 0F"), Hex("03 01 00")}), kRefused},
      {"an empty value", Extension("55 1D 0F", false, {}), kRefused},
      {"a value whose element overruns it", Extension("55 1D 0F", false, Hex("03 05 00")), kRefused},
      {"a dumped child that overruns its parent", Extension("55 1D 11", false, Hex("30 02 82 05")), kRefused},
      {"a truncated second Extension", Cat({Extension("55 1D 0F", false, Hex("03 01 00")), Hex("30 09 06")}), kRefused},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    std::uint32_t error = 0;
    int status = 0;
    const auto text = Captured([&](std::FILE* f) { status = WriteExtensionLines(f, ItemOf(test.list), &error); });
    if (test.expected == kRefused) {
      EXPECT_EQ(status, -1);
      EXPECT_EQ(error, kMsgBadCertificate);
    } else {
      EXPECT_EQ(text, test.expected);
      EXPECT_EQ(std::pair(status, error), std::pair(0, 0u));
    }
  }
}

}  // namespace
}  // namespace kcertadm
