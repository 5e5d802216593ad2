// The name lines of the reports.
#include "commands/report_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace cmdtest;

Bytes Rdn(const std::string& oid, std::uint8_t tag, const Bytes& value) {
  Bytes attribute = Tlv(0x06, Hex(oid));
  const Bytes v = Tlv(tag, value);
  attribute.insert(attribute.end(), v.begin(), v.end());
  return Tlv(0x31, Tlv(0x30, attribute));
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Name(std::initializer_list<Bytes> rdns) {
  Bytes content;
  for (const Bytes& rdn : rdns) content.insert(content.end(), rdn.begin(), rdn.end());
  return Tlv(0x30, content);
}

std::string Lines(const Bytes& name, const char* prefix, int* status, std::uint32_t* error) {
  ReportCapture capture;
  *status = WriteNameLines(capture.file(), ItemOf(name), prefix, error);
  return capture.Text();
}

// Slot order, prefixes, conversions and the cut of a long value are in
// strings.txt; here the cut of a value that grows when converted.
TEST(ReportNameLines, ValuesAreCutAt128BytesBeforeConversion) {
  Bytes bmp;
  for (int i = 0; i < 100; ++i) bmp.insert(bmp.end(), {0x00, 0xE9});  // e acute
  std::string expected;
  for (int i = 0; i < 64; ++i) expected += "\xC3\xA9";
  int status = -1;
  std::uint32_t error = 0;
  EXPECT_EQ(Lines(Name({Rdn("55 04 0A", 0x1E, bmp)}), "Subject", &status, &error),
            "SubjectOrg: " + expected + "\n");
}

TEST(ReportNameLines, UnreadableNameWritesNothing) {
  const Bytes name = Name({Rdn("55 04 03", 0x1C, Text("x"))});  // UniversalString
  int status = 0;
  std::uint32_t error = 0;
  EXPECT_EQ(Lines(name, "Subject", &status, &error), "");
  EXPECT_EQ(status, -1);
  EXPECT_EQ(error, kMsgBadCertificate);
}

TEST(ReportNameValueText, OtherTagsGiveAnEmptyValue) {
  const Bytes value = Text("abc");
  char out[kNameDisplayMax + 1];
  EXPECT_EQ(NameValueText(DnField{value.data(), 3, 0x1A}, out), 0u);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(NameValueText(DnField{value.data(), 3, 0x16}, out), 3u);
  EXPECT_STREQ(out, "abc");
}

}  // namespace
}  // namespace kcertadm
