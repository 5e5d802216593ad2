// The hex, value and ASN.1 structure dumps of the reports.
#include "commands/report_dump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

std::string ValueDump(const std::vector<std::uint8_t>& region, int level, std::uint32_t* error,
                      int* status) {
  ReportCapture capture;
  Asn1Cursor cursor;
  EXPECT_EQ(Asn1FirstChild(ItemOf(region), kAsn1Sequence, &cursor), 1);
  *status = WriteValueDump(capture.file(), cursor, level, error);
  return capture.Text();
}

std::vector<std::uint8_t> Nested(int depth) {
  std::vector<std::uint8_t> element = Hex("05 00");
  for (int i = 0; i < depth; ++i) element = Tlv(0x30, element);
  return element;
}

TEST(ReportValueDump, EveryElementStartsWithATab) {
  // SEQUENCE { [2] "ab", SET { INTEGER 5, NULL }, [0] { BOOLEAN TRUE } }, OCTET STRING,
  // UTF8String, T61String and tag 26, each "AB"
  const auto region = Hex("30 10 82 02 61 62 31 05 02 01 05 05 00 A0 03 01 01 FF  04 01 07"
                          "0C 02 41 42  14 02 41 42  1A 02 41 42");
  std::uint32_t error = 0;
  int status = -1;
  EXPECT_EQ(ValueDump(region, 0, &error, &status),
            "\tSequence:\n"
            "\t  Unknown type (0x82): 0x61 0x62 \n"
            "\t  Set:\n"
            "\t    Integer: 0x05 \n"
            "\t    Null\n"
            "\t  Structured type, 0xA0:\n"
            "\t    Unknown type (0x1): 0xFF \n"
            "\tOctet string: 0x07 \n"
            "\tUTF8 string:0x41 0x42 \n"  // no blank after the label, bytes in hex
            "\tT61 string: \"AB\"\n"
            "\tUnknown type 0x1A (as string): \"AB\"\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(error, 0u);
  ValueDump(Nested(kMaxDumpDepth - 1), 0, &error, &status);
  EXPECT_EQ(status, 0) << "the deepest nesting allowed";
}

TEST(ReportValueDump, StopsWith30046OnChildrenThatDoNotDecode) {
  const struct {
    const char* why;
    std::vector<std::uint8_t> region;
  } kTests[] = {
      {"a child's length runs past its parent", Hex("30 04 02 05 01 02")},
      {"a sibling's header is cut off", Hex("30 00 02")},
      {"a long-form length with too many octets", Hex("30 07 04 85 00 00 00 00 01")},
      // Each level is a recursion: a hostile depth must not exhaust the stack.
      {"nested too deeply", Nested(kMaxDumpDepth + 5)},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    std::uint32_t error = 0;
    int status = 0;
    ValueDump(test.region, 0, &error, &status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(error, kMsgBadCertificate);
  }
}

std::string StructureDump(const std::vector<std::uint8_t>& der, int level, std::uint32_t* error,
                          int* status) {
  ReportCapture capture;
  *status = WriteStructureDump(capture.file(), ItemOf(der), level, error);
  return capture.Text();
}

TEST(ReportStructureDump, NamesConstructedElementsWithTheirContentLength) {
  // SEQUENCE { [0] { INTEGER 2 }, SET { PrintableString "x" }, [APPLICATION 1] { },
  //            [3] { OCTET STRING { } } } followed by a NULL and a SEQUENCE of
  // indefinite length.
  const auto der = Hex("30 10 A0 03 02 01 02 31 03 13 01 78 61 00 A3 02 04 00 05 00  30 80 02 01 07 00 00");
  std::uint32_t error = 0;
  int status = -1;
  EXPECT_EQ(StructureDump(der, 1, &error, &status),
            "  Sequence: Record Length = 16\n"
            "    Context Specific (0) : Record Length = 3\n"
            "      Integer: 0x02 \n"
            "    Set: Record Length = 3\n"
            "      Printable string: \"x\"\n"
            "    Simple Type (0x61): Record Length = 0\n"
            "    Context Specific (3) : Record Length = 2\n"
            "      Octet string: \n"
            "  Null\n"
            "  Sequence: Record Length = 3\n"
            "    Integer: 0x07 \n");
  EXPECT_EQ(status, 0);
}

TEST(ReportStructureDump, StopsCleanlyWith30046) {
  const struct {
    const char* why;
    std::vector<std::uint8_t> der;
  } kTests[] = {
      {"nothing to open", {}},
      {"a lone tag octet", Hex("30")},
      {"the first element is longer than the data", Hex("30 05 02 01 01")},
      {"a child runs past its parent", Hex("30 03 02 05 01")},
      {"a trailing element is truncated", Hex("05 00 02 04 01")},
      {"an indefinite length without its end", Hex("30 80 02 01 07")},
      {"nested too deeply", Nested(kMaxDumpDepth + 1)},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    std::uint32_t error = 0;
    int status = 0;
    StructureDump(test.der, 0, &error, &status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(error, kMsgBadCertificate);
  }
}

}  // namespace
}  // namespace kcertadm
