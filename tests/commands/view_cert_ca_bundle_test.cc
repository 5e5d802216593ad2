// Every certificate of the machine's CA bundle viewed, and the fields of its
// report compared with openssl's reading of the same file: names, serial
// number, dates and fingerprint of real-world certificates, whose
// extensions must not stop the report either.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

constexpr char kBundleDir[] = "/etc/ssl/certs";

using Fields = std::multimap<std::string, std::string>;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "2018-12-20 09:37:33Z" as the report writes it: "12-20-18 09:37 GMT".
std::string ReportDate(const std::string& iso) {
  if (iso.size() < 16) return "unreadable: " + iso;
  return iso.substr(5, 2) + "-" + iso.substr(8, 2) + "-" + iso.substr(2, 2) + " " + iso.substr(11, 5) + " GMT";
}

std::string WithoutLeadingZeros(std::string hex) {
  hex.erase(std::remove(hex.begin(), hex.end(), ':'), hex.end());
  const std::size_t first = hex.find_first_not_of('0');
  return first == std::string::npos ? "0" : hex.substr(first);
}

// The report's lines, as they should be, from openssl's output.
Fields ExpectedFields(const std::string& openssl) {
  static const std::map<std::string, std::string> kAttributes = {
      {"C", "Country"}, {"ST", "State"},        {"L", "City"},         {"O", "Org"},
      {"CN", "CommonName"}, {"emailAddress", "E-mail"}};
  static const char* const kUnits[] = {"OrgUnit", "OrgUnit2", "OrgUnit3"};
  Fields fields;
  std::string prefix;
  std::map<std::string, std::string> names;
  int units = 0;
  auto flushName = [&]() {
    for (const auto& [name, value] : names) fields.emplace(prefix + name, value);
    names.clear();
    units = 0;
  };
  for (const std::string& line : Lines(openssl)) {
    if (line.rfind("    ", 0) == 0) {
      const std::size_t equals = line.find('=');
      const std::string key = line.substr(4, equals - 4);
      const std::string value = line.substr(equals + 1);
      if (key == "OU") {
        if (units < 3) names[kUnits[units++]] = value;
      } else if (kAttributes.count(key) != 0) {
        names[kAttributes.at(key)] = value;  // a later value replaces an earlier one
      }
      continue;
    }
    flushName();
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "serial") fields.emplace("Serial number", WithoutLeadingZeros(value));
    if (key == "notBefore") fields.emplace("StartDate", ReportDate(value));
    if (key == "notAfter") fields.emplace("EndDate", ReportDate(value));
    if (key == "md5 Fingerprint") fields.emplace("Fingerprint", value);
    if (key == "subject") prefix = "Subject";
    if (key == "issuer") prefix = "Issuer";
  }
  flushName();
  return fields;
}

// The same lines read back from a report, up to its extension lines.
Fields ReportFields(const std::string& report) {
  Fields fields;
  for (const std::string& line : Lines(report)) {
    if (line.rfind("Extension - ", 0) == 0) break;
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 2);
    const std::string key = line.substr(0, colon);
    if (key == "Serial number") value = WithoutLeadingZeros(value);
    fields.emplace(key, value);
  }
  return fields;
}

TEST(ViewCertCaBundle, ReportsAgreeWithOpenssl) {
  if (!HaveOpenssl() || !std::filesystem::is_directory(kBundleDir)) {
    GTEST_SKIP() << "needs the openssl command and " << kBundleDir;
  }
  TempDir dir;
  // n.pem links to a certificate of the bundle, n.txt holds openssl's fields.
  ASSERT_EQ(Shell("cd '" + dir.path() + "' && i=0 && for f in " + kBundleDir +
                  "/*.pem; do i=$((i+1)); ln -s \"$f\" $i.pem; "
                  "openssl x509 -in \"$f\" -noout -serial -startdate -enddate -dateopt iso_8601 "
                  "-fingerprint -md5 -subject -issuer -nameopt sep_multiline,sname,utf8,-esc_msb "
                  ">$i.txt || exit 1; done"),
            0);
  int viewed = 0;
  for (int i = 1; FileExists(dir / (std::to_string(i) + ".pem")); ++i, ++viewed) {
    const std::string base = dir / std::to_string(i);
    SCOPED_TRACE(std::filesystem::read_symlink(base + ".pem").string());
    ASSERT_EQ(RunCommand("ViewCert", "CertReqFile=" + base + ".pem;EntriesFile=" + base + ".report").message,
              kMsgCertWritten);
    const Fields expected = ExpectedFields(ReadFileText(base + ".txt"));
    EXPECT_GE(expected.size(), 6u);  // a name, both dates, serial and fingerprint at least
    EXPECT_EQ(ReportFields(ReadFileText(base + ".report")), expected);
  }
  EXPECT_GT(viewed, 0);
}

}  // namespace
}  // namespace kcertadm
