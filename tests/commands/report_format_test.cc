#include "commands/report_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/report_util.h"

namespace kcertadm {
namespace {

using testing::ReportCapture;

std::vector<std::uint8_t> Sequential(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
  return bytes;
}

std::string HexDump(std::size_t count, int level, HexForm form) {
  ReportCapture capture;
  const auto bytes = Sequential(count);
  WriteHexDump(capture.file(), bytes.data(), bytes.size(), level, form);
  return capture.Text();
}

std::string Text(const std::string& value, int level) {
  ReportCapture capture;
  WriteTextValue(capture.file(), reinterpret_cast<const std::uint8_t*>(value.data()), value.size(),
                 level);
  return capture.Text();
}

TEST(ReportIndent, TwoBlanksALevelUpToEighty) {
  const struct {
    int level;
    std::size_t blanks;
  } kTests[] = {{0, 0}, {1, 2}, {3, 6}, {40, 80}, {41, 80}, {1000, 80}, {-1, 0}};
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.level);
    ReportCapture capture;
    WriteIndent(capture.file(), test.level);
    EXPECT_EQ(capture.Text(), std::string(test.blanks, ' '));
  }
}

TEST(ReportHexDump, ColonFormKeepsAFullLineOnTheSameLine) {
  EXPECT_EQ(HexDump(0, 0, HexForm::kColon), "\n");
  EXPECT_EQ(HexDump(1, 3, HexForm::kColon), "A0\n");
  // A 16-byte fingerprint stays on the line of its label.
  EXPECT_EQ(HexDump(16, 0, HexForm::kColon),
            "A0:A1:A2:A3:A4:A5:A6:A7:A8:A9:AA:AB:AC:AD:AE:AF\n");
  EXPECT_EQ(HexDump(23, 0, HexForm::kColon),
            "A0:A1:A2:A3:A4:A5:A6:A7:A8:A9:AA:AB:AC:AD:AE:AF:B0:B1:B2:B3:B4:B5:B6\n");
}

TEST(ReportHexDump, ColonFormBreaksEveryLineAfterALineEndAndIndent) {
  EXPECT_EQ(HexDump(24, 0, HexForm::kColon),
            "\nA0:A1:A2:A3:A4:A5:A6:A7:A8:A9:AA:AB:AC:AD:AE:AF:B0:B1:B2:B3:B4:B5:B6"
            "\nB7\n");
  EXPECT_EQ(HexDump(24, 1, HexForm::kColon),
            "\n  A0:A1:A2:A3:A4:A5:A6:A7:A8:A9:AA:AB:AC:AD:AE:AF:B0:B1:B2:B3:B4:B5:B6"
            "\n  B7\n");
}

TEST(ReportHexDump, PrefixedFormFourteenBytesALine) {
  EXPECT_EQ(HexDump(0, 2, HexForm::kPrefixed), "\n");
  EXPECT_EQ(HexDump(2, 2, HexForm::kPrefixed), "0xA0 0xA1 \n");
  EXPECT_EQ(HexDump(14, 0, HexForm::kPrefixed),
            "0xA0 0xA1 0xA2 0xA3 0xA4 0xA5 0xA6 0xA7 0xA8 0xA9 0xAA 0xAB 0xAC 0xAD \n");
  EXPECT_EQ(HexDump(29, 2, HexForm::kPrefixed),
            "\n    0xA0 0xA1 0xA2 0xA3 0xA4 0xA5 0xA6 0xA7 0xA8 0xA9 0xAA 0xAB 0xAC 0xAD "
            "\n    0xAE 0xAF 0xB0 0xB1 0xB2 0xB3 0xB4 0xB5 0xB6 0xB7 0xB8 0xB9 0xBA 0xBB "
            "\n    0xBC \n");
}

TEST(ReportTextValue, OnePieceFollowsABlankOnTheSameLine) {
  const struct {
    const char* name;
    std::string value;
    std::string expected;
  } kTests[] = {
      {"empty value: a lone quote", "", "\"\n"},
      {"short", "abc", " \"abc\"\n"},
      {"seventy characters", std::string(70, 'x'), " \"" + std::string(70, 'x') + "\"\n"},
      {"a trailing LF ends the only piece", "abc\n", " \"abc\"\n"},
      {"a trailing CR LF counts as one end", "abc\r\n", " \"abc\"\n"},
      {"only a line end is one empty piece", "\n", " \"\"\n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(Text(test.value, 3), test.expected);
  }
}

TEST(ReportTextValue, SeveralPiecesEachOnTheirOwnIndentedLine) {
  const std::string x70(70, 'x');
  const struct {
    const char* name;
    std::string value;
    std::string expected;
  } kTests[] = {
      {"cut at seventy", x70 + "yz", "\n    \"" + x70 + "\n     yz\"\n"},
      {"a line end right after seventy adds no piece", x70 + "\nyz",
       "\n    \"" + x70 + "\n     yz\"\n"},
      {"CR LF is one end", "ab\r\ncd", "\n    \"ab\n     cd\"\n"},
      {"a lone CR ends a piece", "ab\rcd", "\n    \"ab\n     cd\"\n"},
      {"LF CR is two ends", "ab\n\rcd", "\n    \"ab\n     \n     cd\"\n"},
      {"two LFs leave an empty piece", "ab\n\ncd", "\n    \"ab\n     \n     cd\"\n"},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(Text(test.value, 2), test.expected);
  }
}

}  // namespace
}  // namespace kcertadm
