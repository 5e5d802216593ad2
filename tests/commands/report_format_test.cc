// The hex dump and text value forms of the reports.
#include "commands/report_format.h"

#include "command_test_util.h"

namespace kcertadm {
namespace {

using cmdtest::Captured;

// The dump of count bytes A0 A1 A2 ...
std::string HexDump(std::size_t count, int level, HexForm form) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
  return Captured([&](std::FILE* f) { WriteHexDump(f, bytes.data(), bytes.size(), level, form); });
}

std::string Text(const std::string& value, int level) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
  return Captured([&](std::FILE* f) { WriteTextValue(f, bytes, value.size(), level); });
}

TEST(ReportHexDump, OneLineFollowsTheLabelSeveralStartWithALineEnd) {
  const std::string colon23 =
      "A0:A1:A2:A3:A4:A5:A6:A7:A8:A9:AA:AB:AC:AD:AE:AF:B0:B1:B2:B3:B4:B5:B6";
  const std::string prefixed14 =
      "0xA0 0xA1 0xA2 0xA3 0xA4 0xA5 0xA6 0xA7 0xA8 0xA9 0xAA 0xAB 0xAC 0xAD ";
  const struct {
    std::size_t count;
    int level;
    HexForm form;
    std::string expected;
  } kTests[] = {
      {0, 0, HexForm::kColon, "\n"},
      {1, 3, HexForm::kColon, "A0\n"},
      {23, 0, HexForm::kColon, colon23 + "\n"},
      {24, 1, HexForm::kColon, "\n  " + colon23 + "\n  B7\n"},
      {0, 2, HexForm::kPrefixed, "\n"},
      {14, 2, HexForm::kPrefixed, prefixed14 + "\n"},
      {29, 2, HexForm::kPrefixed,
       "\n    " + prefixed14 +
           "\n    0xAE 0xAF 0xB0 0xB1 0xB2 0xB3 0xB4 0xB5 0xB6 0xB7 0xB8 0xB9 0xBA 0xBB \n    0xBC "
           "\n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.count);
    EXPECT_EQ(HexDump(test.count, test.level, test.form), test.expected);
  }
}

TEST(ReportTextValue, PiecesOfSeventyCharactersInTheirReportForm) {
  const std::string x70(70, 'x'), x68(68, 'x');
  const struct {
    const char* name;
    std::string value;
    std::string expected;
  } kTests[] = {
      {"empty value: a lone quote", "", "\"\n"},
      {"one piece follows a blank on the same line", x70, " \"" + x70 + "\"\n"},
      {"cut at seventy", x70 + "yz", "\n    \"" + x70 + "\n     yz\"\n"},
      // A line end in a value used to start a line of the value's choosing.
      {"a line end is escaped, not a piece end", "ab\r\nTrustedRoot: yes",
       " \"ab\\x0D\\x0ATrustedRoot: yes\"\n"},
      {"an escape is never cut", x68 + "\n", "\n    \"" + x68 + "\n     \\x0A\"\n"},
      {"a UTF-8 letter counts once and is never cut", std::string(69, 'x') + "\u00e9\u00e9",
       "\n    \"" + std::string(69, 'x') + "\u00e9\n     \u00e9\"\n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(Text(test.value, 2), test.expected);
  }
}

TEST(ReportEscape, OneValueIsOneLineOfValidUtf8) {
  const struct {
    std::string value, shown;
  } kTests[] = {
      {"Example Org, Inc. (Test) #1", "Example Org, Inc. (Test) #1"},
      {std::string("a\0b\tc\r\n", 7), "a\\x00b\\x09c\\x0D\\x0A"},
      {"\x1b\x7f\\", "\\x1B\\x7F\\x5C"},
      {"\xc2\x85 \xc2\xa0", "\\xC2\\x85 \xc2\xa0"},  // NEL is a C1 control, a no-break space is not
      {"\u2028\u2029\u202a\u2066\u200b",
       "\\xE2\\x80\\xA8\\xE2\\x80\\xA9\\xE2\\x80\\xAA\\xE2\\x81\\xA6\u200b"},
      {"\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80", "\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80"},
      // Not UTF-8: a lone continuation, an overlong slash, a surrogate, a cut sequence.
      {"\x80/\xc0\xaf\xed\xa0\x80\xe6\x97", "\\x80/\\xC0\\xAF\\xED\\xA0\\x80\\xE6\\x97"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.shown);
    EXPECT_EQ(EscapeReportText(test.value), test.shown);
  }
}

}  // namespace
}  // namespace kcertadm
