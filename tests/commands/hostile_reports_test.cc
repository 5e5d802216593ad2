// Reports of hostile certificates (tests/data/reports/hostile.pem, made by make_hostile.py):
// whatever the key ring accepts it lists, and no value adds a line of its own.
#include <map>
#include <regex>

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// The "# name" blocks of hostile.pem, by name.
std::map<std::string, std::string> HostileBlocks() {
  std::map<std::string, std::string> blocks;
  const std::string text = ReportText("hostile.pem");
  for (std::size_t at = text.find("# "); at != std::string::npos;) {
    const std::size_t body = text.find('\n', at) + 1, next = text.find("\n# ", body);
    blocks[text.substr(at + 2, body - at - 3)] =
        text.substr(body, next == std::string::npos ? next : next + 1 - body);
    at = next == std::string::npos ? next : next + 1;
  }
  return blocks;
}

// Every line of a report is a line of its own kind: a keyword line, an indented or hex
// continuation, or empty.
void ExpectReportShape(const std::string& report) {
  static const std::regex kLine(
      "(EntryLabel|TrustedRoot|PrivateKey|KeySize|StartDate|EndDate|Serial number|Fingerprint|"
      "(Subject|Issuer)[A-Za-z-]+[0-9]*): .*|Extension - .*|[\t ].*|0x.*|");
  std::size_t start = 0;
  for (std::size_t end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = report.substr(start, end - start);
    EXPECT_TRUE(std::regex_match(line, kLine)) << line;
  }
  EXPECT_EQ(start, report.size()) << "ends with a line end";
  EXPECT_EQ(report.find('\0'), std::string::npos);
  EXPECT_EQ(report.find('\r'), std::string::npos);
}

std::size_t CountLines(const std::string& report, const std::string& prefix) {
  std::size_t count = 0;
  for (std::size_t at = report.find("\n" + prefix); at != std::string::npos;
       at = report.find("\n" + prefix, at + 1)) {
    ++count;
  }
  return count;
}

// The old report failed with 30046 on a certificate the key ring had taken, for the whole listing;
// a value could forge TrustedRoot or EntryLabel lines.
TEST(HostileReports, WhatTheKeyRingAcceptsItListsLineByLine) {
  const std::map<std::string, std::uint32_t> kRefused = {
      {"expired_1965", kMsgCertExpired},         // was taken: 65 read as 2065
      {"not_a_time", kMsgBadCertificate},        // a line end in a time
      {"san_only_request", kMsgBadCertificate},  // a request, not a certificate
  };
  TempDir dir;
  const std::string ring = dir / "hostile.kyr", listing = dir / "listing.txt";
  MakeRootKeyRing(ring);
  std::size_t accepted = 0;
  for (const auto& [name, pem] : HostileBlocks()) {
    SCOPED_TRACE(name);
    const std::string file = dir.Write(name + ".pem", pem);
    const auto refused = kRefused.find(name);
    const Outcome received =
        RunCommand("ReceiveRootCert", Ring(ring, "CertReqFile=" + file + ";EntryLabel=" + name));
    EXPECT_EQ(received.message, refused == kRefused.end() ? kMsgRootCertReceived : refused->second);
    if (received.status != 0) continue;
    ++accepted;
    ASSERT_EQ(RunCommand("GetEntries", Ring(ring, "ShowPrivateKey;EntriesFile=" + listing)),
              Ok(kMsgEntriesListed));
    for (const char* flags : {"", ";WriteBER", ";Verify", ";ShowRawCert"}) {
      const std::string view = dir / "view.txt";
      EXPECT_EQ(RunCommand("ViewCert", "CertReqFile=" + file + ";EntriesFile=" + view + flags),
                Ok(kMsgCertWritten))
          << flags;
      if (*flags == '\0') ExpectReportShape(ReadFileText(view));
    }
  }
  const std::string report = ReadFileText(listing);
  ExpectReportShape(report);
  // One block per entry (the CA's root and each accepted root), each with its one mark of trust.
  for (const char* line : {"EntryLabel: ", "TrustedRoot: ", "PrivateKey: "})
    EXPECT_EQ(CountLines(report, line), accepted + 1);
  EXPECT_EQ(CountLines(report, "TrustedRoot: yes"), accepted + 1);
  EXPECT_EQ(accepted, HostileBlocks().size() - kRefused.size());
}

// What the report says of each, line for line where it matters.
TEST(HostileReports, ReportsTellWhatTheCertificateHolds) {
  const struct {
    const char* name;
    std::string shown;
  } kTests[] = {
      // An empty subject (and issuer): no name lines, the dates first.
      {"san_only", "\nEntryLabel: san_only\nStartDate: 01-01-20 00:00 GMT\n"},
      {"empty_rdn", "SubjectCommonName: After an empty RDN\n"},
      {"string_types",
       "SubjectState: Gen\u00e8ve\\x41\nSubjectCity: M\u00fcnchen\nSubjectOrg: 0123 4567\n"
       "SubjectOrgUnit: Visible Unit\nSubjectCommonName: Univ\u00e9rsal \u65e5\u672c \U0001F600\n"},
      {"forged_lines",
       "SubjectOrg: Org\\x0D\\x0APrivateKey: yes\n"
       "SubjectCommonName: evil.example\\x0ATrustedRoot: yes\\x0AEntryLabel: bank\n"},
      {"nul_cut", "SubjectCommonName: www.bank.example\\x00.evil.example\n"},
      {"controls",
       "SubjectCommonName: a\\x1B[31mred\\x7F \\x5C \\xFF\\xFE \\xE2\\x80\\xA8 \\xE2\\x80\\xAE "
       "gnp.exe\n"},
      {"repeated",
       "SubjectCountry: US\nSubjectOrg: First Org\nSubjectOrgUnit: U1\nSubjectCommonName: "
       "first.example\n"
       "SubjectOrgUnit2: U2\nSubjectOrgUnit3: U3\nSubjectOrg2: Second Org\nSubjectOrgUnit4: U4\n"
       "SubjectOther: 0.9.2342.19200300.100.1.25 = example\nSubjectOther: "
       "0.9.2342.19200300.100.1.25 = com\n"
       "SubjectOther: 2.5.4.5 = 42\nSubjectOther: 2.5.4.12 = Dr\nSubjectOther: 2.5.4.42 = Ada\n"
       "SubjectOther: 2.5.4.4 = Lovelace\nSubjectOther: 0.9.2342.19200300.100.1.1 = ada\n"
       "SubjectCommonName2: second.example\nSubjectOther: 1.2.840.113549.1.9.2 = "
       "unstructured\nIssuerCountry: US\n"},
      {"non_string",
       "SubjectOther: 2.5.4.45 = #04020102\nSubjectOther: 1.3.6.1.4.1.99999.1 = #3003020107\n"},
      {"deep_nesting", "Nested too deeply: "},
      {"ca_no_pathlen", "Critical, Basic Constraints\n\tValue is: CA = Yes\nTrustedRoot"},
      {"ca_pathlen_3",
       "Critical, Basic Constraints\n\tValue is: CA = Yes\n\tValue is: Path length constraint = "
       "3\n"},
      {"policy_text",
       "Pointer:  \"http://cps.example/\\x0ATrustedRoot: yes\"\n"
       "  User Notice:\n    Notice:  \"line one\\x0AEntryLabel: forged\\x00cut\"\n"},
      {"bad_extension",
       "Extension - Unreadable: 0x06 0x03 0x55 0x1D 0x0F 0x04 0x00 \n"
       "Extension - Unreadable: 0x02 0x01 0x01 \nExtension - Standard: Subject Key Identifier\n"},
      {"valid_from_1969", "StartDate: 01-01-69 00:00 GMT\nEndDate: 12-31-49 23:59 GMT\n"},
      {"generalized_times", "StartDate: 01-01-1949 00:00 GMT\nEndDate: 06-30-2055 23:59 GMT\n"},
  };
  TempDir dir;
  const std::string ring = dir / "hostile.kyr", listing = dir / "listing.txt";
  MakeRootKeyRing(ring);
  const std::map<std::string, std::string> pem = HostileBlocks();
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    const std::string file = dir.Write(std::string(test.name) + ".pem", pem.at(test.name));
    ASSERT_EQ(RunCommand("ReceiveRootCert",
                         Ring(ring, "CertReqFile=" + file + ";EntryLabel=" + test.name)),
              Ok(kMsgRootCertReceived));
    ASSERT_EQ(RunCommand("GetEntries", Ring(ring, "EntriesFile=" + listing)),
              Ok(kMsgEntriesListed));
    const std::string report = ReadFileText(listing);
    const std::size_t entry = report.find("\nEntryLabel: " + std::string(test.name) + "\n");
    ASSERT_NE(entry, std::string::npos);
    EXPECT_NE(
        report.substr(entry, report.find("\nEntryLabel: ", entry + 1) - entry).find(test.shown),
        std::string::npos)
        << report.substr(entry);
  }
}

// Times that are not times are shown in hex: the report of a certificate that only ViewCert reads.
TEST(HostileReports, ViewCertShowsTimesItCannotReadInHex) {
  TempDir dir;
  const std::map<std::string, std::string> pem = HostileBlocks();
  const std::string out = dir / "view.txt";
  ASSERT_EQ(RunCommand("ViewCert", "CertReqFile=" + dir.Write("t.pem", pem.at("not_a_time")) +
                                       ";EntriesFile=" + out),
            Ok(kMsgCertWritten));
  EXPECT_NE(ReadFileText(out).find("StartDate: #170C36390A31303130303030305A\nEndDate: #040101\n"),
            std::string::npos);
}

// A label is a value like the others; and a request with an empty subject, signed by our own CA,
// lists.
TEST(HostileReports, LabelsAndCertificatesWeIssue) {
  CaAndServer env;
  const std::map<std::string, std::string> pem = HostileBlocks();
  const std::string request = env.dir.Write("empty.csr", pem.at("san_only_request"));
  const std::string issued = env.dir / "issued.crt", listing = env.dir / "listing.txt";
  ASSERT_EQ(
      RunCommand("SignCert", Ring(env.Ca(), "CertReqFile=" + request + ";CertFile=" + issued)),
      Ok(kMsgCertSigned));
  ASSERT_EQ(RunCommand("ReceiveCert", Ring(env.Server(), "NoTrust;CertReqFile=" + issued +
                                                             ";EntryLabel=ca\rTrustedRoot: yes")),
            Ok(kMsgCertReceived));
  ASSERT_EQ(RunCommand("GetEntries", Ring(env.Server(), "EntriesFile=" + listing)),
            Ok(kMsgEntriesListed));
  const std::string report = ReadFileText(listing);
  ExpectReportShape(report);
  EXPECT_NE(report.find("\nEntryLabel: ca\\x0DTrustedRoot: yes\nIssuerCountry: US\nIssuerOrg: "
                        "Test\nIssuerCommonName: Test CA\n"),
            std::string::npos)
      << report;
}

}  // namespace
}  // namespace kcertadm
