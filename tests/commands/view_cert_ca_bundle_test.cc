// Every certificate of the machine's CA bundle viewed, and the names, serial
// number, dates and fingerprint of its report compared with openssl's
// reading: real-world extensions must not stop the report either.
#include <algorithm>
#include <map>
#include <sstream>

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

constexpr char kBundleDir[] = "/etc/ssl/certs";
using Fields = std::multimap<std::string, std::string>;

std::string WithoutLeadingZeros(std::string hex) {
  hex.erase(std::remove(hex.begin(), hex.end(), ':'), hex.end());
  const std::size_t first = hex.find_first_not_of('0');
  return first == std::string::npos ? "0" : hex.substr(first);
}

// The report's lines, as they should be, from openssl's output.
Fields ExpectedFields(const std::string& openssl) {
  static const std::map<std::string, std::string> kAttributes = {
      {"C", "Country"}, {"ST", "State"}, {"L", "City"}, {"O", "Org"}, {"CN", "CommonName"}, {"emailAddress", "E-mail"}};
  static const char* const kUnits[] = {"OrgUnit", "OrgUnit2", "OrgUnit3"};
  Fields fields;
  std::string prefix;
  std::map<std::string, std::string> names;  // a later value replaces an earlier one
  int units = 0;
  std::istringstream in(openssl + "end=\n");
  for (std::string line; std::getline(in, line);) {
    const std::size_t equals = line.find('=');
    if (line.starts_with("    ")) {
      const std::string key = line.substr(4, equals - 4), value = line.substr(equals + 1);
      if (key == "OU" && units < 3) names[kUnits[units++]] = value;
      if (kAttributes.count(key) != 0) names[kAttributes.at(key)] = value;
      continue;
    }
    for (const auto& [name, value] : names) fields.emplace(prefix + name, value);
    names.clear();
    units = 0;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    // "2018-12-20 09:37:33Z" as the report writes it: "12-20-18 09:37 GMT".
    const std::string date = value.size() < 16 ? "unreadable: " + value
                                               : value.substr(5, 2) + "-" + value.substr(8, 2) + "-" +
                                                     value.substr(2, 2) + " " + value.substr(11, 5) + " GMT";
    if (key == "serial") fields.emplace("Serial number", WithoutLeadingZeros(value));
    if (key == "notBefore") fields.emplace("StartDate", date);
    if (key == "notAfter") fields.emplace("EndDate", date);
    if (key == "md5 Fingerprint") fields.emplace("Fingerprint", value);
    if (key == "subject" || key == "issuer") prefix = key == "subject" ? "Subject" : "Issuer";
  }
  return fields;
}

// The same lines read back from a report, up to its extension lines.
Fields ReportFields(const std::string& report) {
  Fields fields;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line) && !line.starts_with("Extension - ");) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
    fields.emplace(key, key == "Serial number" ? WithoutLeadingZeros(value) : value);
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
