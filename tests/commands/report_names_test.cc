// The name lines of the reports; slot order, prefixes, conversions and the cut of a long value are in strings.txt.
#include "commands/report_names.h"

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

TEST(ReportNameLines, CutBeforeConversionAndRefusal) {
  std::string bmp, cut;
  for (int i = 0; i < 100; ++i) bmp += std::string("\0\xE9", 2);  // e acute
  for (int i = 0; i < 64; ++i) cut += "\xC3\xA9";
  const struct { const char* why; Bytes name; std::string expected; std::uint32_t error; } kTests[] = {
      // 128 bytes of the value, not of its UTF-8 text.
      {"a value that grows when converted", test::Name({test::Rdn(Hex("55 04 0A"), 0x1E, bmp)}),
       "SubjectOrg: " + cut + "\n", 0},
      {"a UniversalString is not read", test::Name({test::Rdn(Hex("55 04 03"), 0x1C, "x")}), "", kMsgBadCertificate},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    std::uint32_t error = 0;
    int status = 0;
    EXPECT_EQ(Captured([&](std::FILE* f) { status = WriteNameLines(f, ItemOf(test.name), "Subject", &error); }),
              test.expected);
    EXPECT_EQ(std::pair(status, error), std::pair(test.error == 0 ? 0 : -1, test.error));
  }
}

}  // namespace
}  // namespace kcertadm
