#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "armour/pem.h"
#include "commands/command_test_util.h"
#include "commands/report_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using cmdtest::Outcome;
using cmdtest::ReadFileBytes;
using cmdtest::ReadFileText;
using cmdtest::RunCommand;
using cmdtest::TempDir;
using cmdtest::WriteFileText;
using testing::ReadBytes;
using testing::ReadText;
using testing::ReportDataPath;

std::string Data(const std::string& name) { return ReportDataPath(name); }

// The "0x" dump of bytes as a whole file: 14 bytes a line, every line after
// a line end.
std::string PrefixedDump(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char cell[8];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 14 == 0) out += "\n";
    std::snprintf(cell, sizeof cell, "0x%02X ", bytes[i]);
    out += cell;
  }
  return out + "\n";
}

TEST(ViewCert, EachOutputChoice) {
  const std::vector<std::uint8_t> der = ReadBytes(Data("root.der"));
  const std::string rootDump =
      "Sequence: Record Length = 702\n"
      "  Sequence: Record Length = 551\n"
      "    Context Specific (0) : Record Length = 3\n"
      "      Integer: 0x02 \n"
      "    Integer: 0x01 \n"
      "    Sequence: Record Length = 13\n"
      "      OID: 0x2A 0x86 0x48 0x86 0xF7 0x0D 0x01 0x01 0x05 \n"
      "      Null\n";
  const struct {
    const char* name;
    std::string input;
    std::string flags;
    std::string expected;
    bool prefixOnly;
  } kTests[] = {
      {"report of a DER file", "root.der", "UseBER", ReadText(Data("root.txt")), false},
      {"report of an armoured file", "root.pem", "", ReadText(Data("root.txt")), false},
      {"report of every certificate of a PKCS #7 bundle", "bundle.p7b", "UseBER",
       ReadText(Data("bundle.txt")), false},
      {"DER copied byte for byte", "root.pem", "WriteBinary", std::string(der.begin(), der.end()),
       false},
      {"hex dump", "root.der", "UseBER;WriteBinary;WriteBER", PrefixedDump(der), false},
      {"raw hex dump", "root.der", "UseBER;ShowRawCert;WriteBinary", PrefixedDump(der) + "\n",
       false},
      {"armoured", "root.der", "UseBER;ShowRawCert", ReadText(Data("root.pem")), false},
      {"structure dump", "root.pem", "WriteBER", rootDump, true},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    const std::string out = dir / "out.txt";
    const Outcome outcome = RunCommand(
        "ViewCert", "CertReqFile=" + Data(test.input) + ";EntriesFile=" + out +
                        (test.flags.empty() ? "" : ";" + test.flags));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.message, kMsgCertWritten);
    const std::string written = ReadFileText(out);
    if (test.prefixOnly) {
      EXPECT_EQ(written.substr(0, test.expected.size()), test.expected);
    } else {
      EXPECT_EQ(written, test.expected);
    }
  }
}

TEST(ViewCert, StructureDumpOfTheWholeFile) {
  TempDir dir;
  const Outcome outcome = RunCommand(
      "ViewCert", "CertReqFile=" + Data("leaf.der") + ";EntriesFile=" + (dir / "out.txt") +
                      ";UseBER;WriteBER");
  ASSERT_EQ(outcome.message, kMsgCertWritten);
  const std::string written = ReadFileText(dir / "out.txt");
  // The signature is the last element: a 128-byte BIT STRING (and its
  // unused-bits octet) dumped over ten lines at level 2.
  const std::string tail = "  Bit string: \n    0x00 ";
  EXPECT_NE(written.find(tail), std::string::npos);
  EXPECT_EQ(written.back(), '\n');
}

TEST(ViewCert, FailuresReportTheirStep) {
  TempDir dir;
  const std::string out = dir / "out.txt";
  WriteFileText(dir / "empty.cer", "");
  WriteFileText(dir / "garbage.cer", "this is not base64 at all!\n");
  std::vector<std::uint8_t> cut = ReadBytes(Data("root.der"));
  cut.resize(300);
  WriteFileText(dir / "cut.der", std::string(cut.begin(), cut.end()));
  std::vector<std::uint8_t> broken = ReadBytes(Data("root.der"));
  broken[broken.size() - 5] ^= 0x01;
  WriteFileText(dir / "broken.der", std::string(broken.begin(), broken.end()));
  const struct {
    const char* why;
    std::string parameters;
    std::uint32_t message;
  } kTests[] = {
      {"no EntriesFile", "CertReqFile=" + Data("root.der"), kMsgNoEntriesFile},
      {"empty EntriesFile", "CertReqFile=" + Data("root.der") + ";EntriesFile=",
       kMsgNoEntriesFile},
      {"no CertReqFile", "EntriesFile=" + out, kMsgNoRequestFile},
      {"the input does not exist", "CertReqFile=" + (dir / "none.cer") + ";EntriesFile=" + out,
       kMsgRequestFileOpenFailed},
      {"the input is the key ring file",
       "KeyFile=" + (dir / "a.kyr") + ";CertReqFile=" + (dir / "a.kyr") + ";EntriesFile=" + out,
       kMsgRequestFileIsKeyFile},
      {"the output cannot be created",
       "CertReqFile=" + Data("root.der") + ";EntriesFile=" + (dir / "no/such/dir.txt"),
       kMsgEntriesFileCreateFailed},
      {"an empty input file", "CertReqFile=" + (dir / "empty.cer") + ";EntriesFile=" + out,
       kMsgCertFileReadFailed},
      {"text that is not Base64", "CertReqFile=" + (dir / "garbage.cer") + ";EntriesFile=" + out,
       kMsgDecodeFailed},
      {"a truncated certificate", "CertReqFile=" + (dir / "cut.der") + ";EntriesFile=" + out +
                                      ";UseBER",
       kMsgBadCertificate},
      {"a truncated certificate dumped",
       "CertReqFile=" + (dir / "cut.der") + ";EntriesFile=" + out + ";UseBER;WriteBER",
       kMsgBadCertificate},
      {"a certificate read as a request",
       "CertReqFile=" + Data("root.der") + ";EntriesFile=" + out + ";UseBER;UsePKCS",
       kMsgBadRequest},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const Outcome outcome = RunCommand("ViewCert", test.parameters);
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(outcome.message, test.message);
  }
}

TEST(ViewCert, RefusesToWriteOverItsInputOrAKeyRing) {
  TempDir dir;
  const std::string input = dir / "root.der";
  const std::vector<std::uint8_t> der = ReadBytes(Data("root.der"));
  WriteFileText(input, std::string(der.begin(), der.end()));
  WriteFileText(dir / "a.kyr", "key ring");
  const struct {
    const char* why;
    std::string parameters;
  } kTests[] = {
      {"the output is the input", "CertReqFile=" + input + ";EntriesFile=" + input},
      {"the output is the input by another name",
       "CertReqFile=" + input + ";EntriesFile=" + dir.path() + "/./root.der"},
      {"the output is the key ring", "KeyFile=" + (dir / "a.kyr") + ";CertReqFile=" + input +
                                         ";EntriesFile=" + (dir / "a.kyr")},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const Outcome outcome = RunCommand("ViewCert", test.parameters + ";UseBER");
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(outcome.message, kMsgEntriesFileCreateFailed);
  }
  EXPECT_EQ(ReadFileBytes(input), der);
  EXPECT_EQ(ReadFileText(dir / "a.kyr"), "key ring");
}

TEST(ViewCert, APemMessageShowsItsOriginatorCertificate) {
  TempDir dir;
  const std::vector<std::uint8_t> der = ReadBytes(Data("root.der"));
  std::FILE* file = std::fopen((dir / "request.pem").c_str(), "w");
  ASSERT_NE(file, nullptr);
  // The MIC is not checked when viewing: any signature octets do.
  ASSERT_EQ(WritePemRequestSigned(file, der.data(), static_cast<std::int32_t>(der.size()),
                                  "This is an RFC-1424 CSR.\n", std::vector<std::uint8_t>(64, 7)),
            0);
  std::fclose(file);
  const Outcome outcome = RunCommand(
      "ViewCert", "CertReqFile=" + (dir / "request.pem") + ";EntriesFile=" + (dir / "out.txt"));
  EXPECT_EQ(outcome.message, kMsgCertWritten);
  EXPECT_EQ(ReadFileText(dir / "out.txt"), ReadText(Data("root.txt")));

  // With UseBER no PEM message is looked for: the text is not Base64.
  EXPECT_EQ(RunCommand("ViewCert", "CertReqFile=" + (dir / "request.pem") + ";EntriesFile=" +
                                       (dir / "out.txt") + ";UseBER;WriteBER")
                .message,
            kMsgBadCertificate);
}

TEST(ViewCert, RequestReport) {
  TempDir dir;
  const Outcome outcome = RunCommand(
      "ViewCert", "CertReqFile=" + Data("request.pem") + ";EntriesFile=" + (dir / "out.txt") +
                      ";UsePKCS");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.message, kMsgCertWritten);
  EXPECT_EQ(ReadFileText(dir / "out.txt"), ReadText(Data("request.txt")));
}

}  // namespace
}  // namespace kcertadm
