#include "commands/report_extensions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/report_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Hex;
using testing::ItemOf;
using testing::ReportCapture;
using testing::Tlv;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Extension ::= SEQUENCE { OID, critical BOOLEAN (when set), OCTET STRING value }
Bytes Extension(const std::string& oid, bool critical, const Bytes& value) {
  return Tlv(0x30, Cat({Tlv(0x06, Hex(oid)), critical ? Hex("01 01 FF") : Bytes{},
                        Tlv(0x04, value)}));
}

std::string Lines(const Bytes& list, int* status, std::uint32_t* error) {
  ReportCapture capture;
  *status = WriteExtensionLines(capture.file(), ItemOf(list), error);
  return capture.Text();
}

TEST(ReportExtensionLines, OneBlockPerFamily) {
  const struct {
    const char* name;
    Bytes extension;
    std::string expected;
  } kTests[] = {
      {"named standard, critical", Extension("55 1D 0F", true, Hex("03 02 05 A0")),
       "Extension - Standard: Critical, Key Usage\n\tBit string: 0x05 0xA0 \n"},
      {"named standard", Extension("55 1D 11", false, Hex("30 04 82 02 61 62")),
       "Extension - Standard: Subject Alternative Name\n"
       "\tSequence:\n\t  Unknown type (0x82): 0x61 0x62 \n"},
      {"issuer alternative name ends its line",
       Extension("55 1D 12", false, Hex("30 04 81 02 61 62")),
       "Extension - Standard: Issuer Alternative Name\n"
       "\tSequence:\n\t  Unknown type (0x81): 0x61 0x62 \n"},
      {"unnamed standard number", Extension("55 1D 2E", true, Hex("05 00")),
       "Extension - Standard: Critical, OID = 0x2e\n\tNull\n"},
      {"private: the element inside the value, no value dump",
       Extension("2B 06 01 05 05 07 01 01", false, Hex("30 03 02 01 09")),
       "Extension - Private: OID = 0x02 0x01 0x09 \n"},
      {"netscape", Extension("60 86 48 01 86 F8 42 01 0D", false, Hex("16 03 61 62 63")),
       "Extension - Netscape: OID = 0xd\n\tIA5 string: \"abc\"\n"},
      {"unknown: the OID", Extension("2B 06 01 04 01 82 37 14 02", true, Hex("1E 00")),
       "Extension - Unknown: OID = 0x2B 0x06 0x01 0x04 0x01 0x82 0x37 0x14 0x02 \n"},
      {"a bare family prefix is unknown", Extension("55 1D", false, Hex("05 00")),
       "Extension - Unknown: OID = 0x55 0x1D \n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    int status = -1;
    std::uint32_t error = 0;
    EXPECT_EQ(Lines(test.extension, &status, &error), test.expected);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(error, 0u);
  }
}

TEST(ReportExtensionLines, BasicConstraints) {
  const struct {
    const char* name;
    Bytes value;
    std::string expected;
  } kTests[] = {
      {"CA with a path length", Hex("30 06 01 01 FF 02 01 03"),
       "Extension - Standard: Basic Constraints\n\tValue is: CA = Yes"
       "\n\tValue is: Path length constraint = 3\n"},
      {"CA without a path length writes 0", Hex("30 03 01 01 FF"),
       "Extension - Standard: Basic Constraints\n\tValue is: CA = Yes"
       "\n\tValue is: Path length constraint = 0\n"},
      {"an explicit FALSE", Hex("30 03 01 01 00"),
       "Extension - Standard: Basic Constraints\n\tValue is: CA = No"
       "\n\tValue is: Path length constraint = 0\n"},
      {"the DER default (no BOOLEAN) is dumped", Hex("30 00"),
       "Extension - Standard: Basic Constraints\n\tSequence:\n"},
      {"only a path length is dumped", Hex("30 03 02 01 05"),
       "Extension - Standard: Basic Constraints\n\tSequence:\n\t  Integer: 0x05 \n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    int status = -1;
    std::uint32_t error = 0;
    EXPECT_EQ(Lines(Extension("55 1D 13", false, test.value), &status, &error), test.expected);
    EXPECT_EQ(status, 0);
  }
}

Bytes Oid(const std::string& hex) { return Tlv(0x06, Hex(hex)); }
Bytes Seq(std::initializer_list<Bytes> parts) { return Tlv(0x30, Cat(parts)); }
Bytes Str(std::uint8_t tag, const std::string& text) {
  return Tlv(tag, Bytes(text.begin(), text.end()));
}

const char kCps[] = "2B 06 01 05 05 07 02 01";
const char kUserNotice[] = "2B 06 01 05 05 07 02 02";

TEST(ReportExtensionLines, CertificatePoliciesWithBothQualifierKinds) {
  const Bytes policies = Seq({
      Seq({Oid("55 1D 20 00")}),
      Seq({Oid("2B 06 01 04 01 86 8D 1F 01 02 03 04 05 06 07"),
           Seq({
               Seq({Oid(kCps), Str(0x16, "http://x.example/cps")}),
               Seq({Oid(kUserNotice),
                    Seq({Seq({Str(0x0C, "Org"), Seq({Hex("02 01 01"), Hex("02 02 01 00")})}),
                         Str(0x1A, "Notice text")})}),
               Seq({Oid(kUserNotice), Seq({Tlv(0x1E, Hex("00 C4 00 62"))})}),
               Seq({Oid("2B 06 01 05 05 07 02 03"), Hex("05 00")}),
           })}),
  });
  int status = -1;
  std::uint32_t error = 0;
  EXPECT_EQ(Lines(Extension("55 1D 20", false, policies), &status, &error),
            "Extension - Standard: Certificate Policies\n"
            "  Policy ID: 0x55 0x1D 0x20 0x00 \n"
            "  Policy ID: "
            "\n    0x2B 0x06 0x01 0x04 0x01 0x86 0x8D 0x1F 0x01 0x02 0x03 0x04 0x05 0x06 "
            "\n    0x07 \n"
            "  Certification Practice Statement Pointer:  \"http://x.example/cps\"\n"
            "  User Notice:\n"
            "    NoticeReference:\n"
            "      Organization:  \"Org\"\n"
            "      Notice Number: 1\n"
            "      Notice Number: 256\n"
            "    Notice:  \"Notice text\"\n"
            "  User Notice:\n"
            "    Notice:  \"\xC3\x84" "b\"\n"
            "    Unknown Policy Qualifier\n");
  EXPECT_EQ(status, 0);
}

TEST(ReportExtensionLines, PolicyValueThatDoesNotDecodeEndsOnlyItsBlock) {
  const Bytes list = Cat({
      Extension("55 1D 20", true,
                Seq({Seq({Oid("55 1D 20 00"), Seq({Seq({Oid(kCps)})})})})),
      Extension("55 1D 20", false, Hex("04 00")),
      Extension("55 1D 0F", false, Hex("03 01 00")),
  });
  int status = -1;
  std::uint32_t error = 0;
  EXPECT_EQ(Lines(list, &status, &error),
            "Extension - Standard: Critical, Certificate Policies\n"
            "  Policy ID: 0x55 0x1D 0x20 0x00 \n"
            "Extension - Standard: Certificate Policies\n"
            "Extension - Standard: Key Usage\n\tBit string: 0x00 \n");
  EXPECT_EQ(status, 0);
}

TEST(ReportExtensionLines, RefusesExtensionsThatDoNotDecode) {
  const struct {
    const char* why;
    Bytes list;
  } kTests[] = {
      {"an element that is not an Extension", Hex("31 05 06 03 55 1D 0F")},
      {"an Extension without OID", Seq({Hex("04 02 05 00")})},
      {"a classified Extension without value", Seq({Oid("55 1D 0F")})},
      {"a value that is not an OCTET STRING", Seq({Oid("55 1D 0F"), Hex("03 01 00")})},
      {"an empty value", Extension("55 1D 0F", false, {})},
      {"a value whose element overruns it", Extension("55 1D 0F", false, Hex("03 05 00"))},
      {"a dumped child that overruns its parent", Extension("55 1D 11", false, Hex("30 02 82 05"))},
      {"a truncated second Extension",
       Cat({Extension("55 1D 0F", false, Hex("03 01 00")), Hex("30 09 06")})},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    int status = 0;
    std::uint32_t error = 0;
    Lines(test.list, &status, &error);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(error, kMsgBadCertificate);
  }
}

}  // namespace
}  // namespace kcertadm
