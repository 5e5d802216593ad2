// The value and ASN.1 structure dumps of the reports.
#include "commands/report_dump.h"

#include "command_test_util.h"
#include "commands/report_format.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

struct Dumped {
  std::string text;
  int status;
  std::uint32_t error;
};

// The value dump of the children of the SEQUENCE region, or the structure dump of all of der.
Dumped Dump(bool structure, const Bytes& der, int level) {
  Dumped out{"", -1, 0};
  out.text = Captured([&](std::FILE* file) {
    Asn1Cursor cursor;
    if (structure) {
      out.status = WriteStructureDump(file, ItemOf(der), level, &out.error);
    } else if (Asn1FirstChild(ItemOf(der), kAsn1Sequence, &cursor) == 1) {
      WriteValueDump(file, cursor, level);
      out.status = 0;
    }
  });
  return out;
}

Bytes Nested(int depth) {
  Bytes element = Hex("05 00");
  for (int i = 0; i < depth; ++i) element = Tlv(0x30, element);
  return element;
}

TEST(ReportDump, ValueAndStructureDumps) {
  const struct {
    bool structure;
    Bytes der;
    std::string expected;
  } kTests[] = {
      // SEQUENCE { [2] "ab", SET { INTEGER 5, NULL }, [0] { BOOLEAN TRUE } }, OCTET STRING,
      // UTF8String,
      // T61String and tag 26, each "AB": every element starts with a tab.
      {false,
       Hex("30 10 82 02 61 62 31 05 02 01 05 05 00 A0 03 01 01 FF  04 01 07 0C 02 41 42  14 02 41 "
           "42  1A 02 41 42"),
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
       "\tUnknown type 0x1A (as string): \"AB\"\n"},
      // SEQUENCE { [0] { INTEGER 2 }, SET { PrintableString "x" }, [APPLICATION 1] { }, [3] { OCTET
      // STRING { } } },
      // NULL, SEQUENCE of indefinite length: constructed elements named with their content length,
      // at level 1.
      {true,
       Hex("30 10 A0 03 02 01 02 31 03 13 01 78 61 00 A3 02 04 00 05 00  30 80 02 01 07 00 00"),
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
       "    Integer: 0x07 \n"},
  };
  for (const auto& test : kTests) {
    const Dumped dump = Dump(test.structure, test.der, test.structure ? 1 : 0);
    EXPECT_EQ(dump.text, test.expected);
    EXPECT_EQ(dump.status, 0);
  }
  EXPECT_EQ(Dump(false, Nested(kMaxDumpDepth - 1), 0).status, 0) << "the deepest nesting allowed";
}

// Only a dump with no element to open is refused.
TEST(ReportDump, RefusesOnlyWhatCannotBeOpened) {
  const struct {
    const char* why;
    Bytes der;
  } kTests[] = {
      {"nothing to open", {}},
      {"a lone tag octet", Hex("30")},
      {"the first element is longer than the data", Hex("30 05 02 01 01")},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const Dumped dump = Dump(true, test.der, 0);
    EXPECT_EQ(std::pair(dump.status, dump.error), std::pair(-1, std::uint32_t{kMsgBadCertificate}));
  }
}

// Octets that do not decode, and nesting too deep to walk, are written in hex where they stand; the
// old dumps stopped with 30046, which failed the listing of the whole key ring.
TEST(ReportDump, WritesWhatDoesNotDecodeInHex) {
  const std::string deepValue = [] {
    std::string text;
    for (int level = 0; level < kMaxDumpDepth; ++level) {
      text += "\t" + std::string(std::min(2 * level, kReportMaxIndent), ' ') + "Sequence:\n";
    }
    return text + "\t" + std::string(kReportMaxIndent, ' ') + "Nested too deeply: ";
  }();
  const struct {
    const char* why;
    bool structure;
    Bytes der;
    std::string expected;
  } kTests[] = {
      {"a child's length runs past its parent", false, Hex("30 04 02 05 01 02"),
       "\tSequence:\n\t  Undecodable: 0x02 0x05 0x01 0x02 \n"},
      {"a sibling's header is cut off", false, Hex("30 00 02"),
       "\tSequence:\n\tUndecodable: 0x02 \n"},
      {"a long-form length with too many octets", false, Hex("30 07 04 85 00 00 00 00 01"),
       "\tSequence:\n\t  Undecodable: 0x04 0x85 0x00 0x00 0x00 0x00 0x01 \n"},
      {"values nested too deeply", false, Nested(kMaxDumpDepth + 5),
       deepValue + "0x30 0x0A 0x30 0x08 0x30 0x06 0x30 0x04 0x30 0x02 0x05 0x00 \n"},
      {"a child runs past its parent", true, Hex("30 03 02 05 01"),
       "Sequence: Record Length = 3\n  Undecodable: 0x02 0x05 0x01 \n"},
      {"a trailing element is truncated", true, Hex("05 00 02 04 01"),
       "Null\nUndecodable: 0x02 0x04 0x01 \n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const Dumped dump = Dump(test.structure, test.der, 0);
    EXPECT_EQ(dump.text, test.expected);
    EXPECT_EQ(dump.status, 0);
  }
  // Each level is a recursion: a hostile depth must not exhaust the stack.
  EXPECT_EQ(Dump(true, Nested(3000), 0).status, 0);
}

}  // namespace
}  // namespace kcertadm
