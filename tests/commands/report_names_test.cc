#include "commands/report_names.h"

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

TEST(ReportNameLines, SlotOrderWithPrefixAndConvertedStrings) {
  // Written in an order other than the slot order, with an attribute
  // (serialNumber) that has no slot.
  const Bytes name = Name({
      Rdn("55 04 03", 0x0C, Text("Stra\xC3\x9F" "e")),
      Rdn("55 04 0B", 0x13, Text("First")),
      Rdn("55 04 05", 0x13, Text("12345")),
      Rdn("55 04 0B", 0x1E, Hex("00 C4 00 72")),
      Rdn("55 04 0B", 0x16, Text("Third")),
      Rdn("55 04 07", 0x14, Hex("4D FC 6E")),
      Rdn("2A 86 48 86 F7 0D 01 09 01", 0x16, Text("a@b.example")),
      Rdn("55 04 0A", 0x0C, Text("")),
      Rdn("55 04 08", 0x1E, Hex("00 42 00 57")),
      Rdn("55 04 06", 0x13, Text("DE")),
  });
  int status = -1;
  std::uint32_t error = 0;
  EXPECT_EQ(Lines(name, "Issuer", &status, &error),
            "IssuerCountry: DE\n"
            "IssuerState: BW\n"
            "IssuerCity: M\xC3\xBCn\n"
            "IssuerOrg: \n"
            "IssuerOrgUnit: First\n"
            "IssuerCommonName: Stra\xC3\x9F" "e\n"
            "IssuerE-mail: a@b.example\n"
            "IssuerOrgUnit2: \xC3\x84r\n"
            "IssuerOrgUnit3: Third\n");
  EXPECT_EQ(status, 0);
}

TEST(ReportNameLines, ValuesAreCutAt128BytesBeforeConversion) {
  Bytes bmp;
  for (int i = 0; i < 100; ++i) bmp.insert(bmp.end(), {0x00, 0xE9});  // e acute
  std::string expectedBmp;
  for (int i = 0; i < 64; ++i) expectedBmp += "\xC3\xA9";
  const Bytes name = Name({Rdn("55 04 03", 0x13, Text(std::string(140, 'p'))),
                           Rdn("55 04 0A", 0x1E, bmp)});
  int status = -1;
  std::uint32_t error = 0;
  EXPECT_EQ(Lines(name, "Subject", &status, &error),
            "SubjectOrg: " + expectedBmp + "\nSubjectCommonName: " + std::string(128, 'p') + "\n");
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
