// ViewCert through the command entry: each output choice against the
// committed reports, and the refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "armour/pem.h"
#include "command_test_util.h"
#include "host_interface/messages.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

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

Outcome View(const std::string& input, const std::string& out, const std::string& flags) {
  return RunCommand("ViewCert", "CertReqFile=" + input + ";EntriesFile=" + out + (flags.empty() ? "" : ";" + flags));
}

TEST(ViewCert, EachOutputChoice) {
  const std::vector<std::uint8_t> der = ReportData("root.der");
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
      {"report of a DER file", "root.der", "UseBER", ReportText("root.txt"), false},
      {"report of an armoured file", "root.pem", "", ReportText("root.txt"), false},
      {"report of every certificate of a PKCS #7 bundle", "bundle.p7b", "UseBER", ReportText("bundle.txt"), false},
      {"report of a request", "request.pem", "UsePKCS", ReportText("request.txt"), false},
      {"DER copied byte for byte", "root.pem", "WriteBinary", std::string(der.begin(), der.end()), false},
      {"hex dump", "root.der", "UseBER;WriteBinary;WriteBER", PrefixedDump(der), false},
      {"raw hex dump", "root.der", "UseBER;ShowRawCert;WriteBinary", PrefixedDump(der) + "\n", false},
      {"armoured", "root.der", "UseBER;ShowRawCert", ReportText("root.pem"), false},
      {"structure dump", "root.pem", "WriteBER", rootDump, true},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    const Outcome outcome = View(ReportDataPath(test.input), dir / "out.txt", test.flags);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.message, kMsgCertWritten);
    const std::string written = ReadFileText(dir / "out.txt");
    EXPECT_EQ(test.prefixOnly ? written.substr(0, test.expected.size()) : written, test.expected);
  }
}

TEST(ViewCert, Refusals) {
  TempDir dir;
  const std::string out = dir / "out.txt";
  const std::string input = dir / "root.der";
  const std::vector<std::uint8_t> der = ReportData("root.der");
  WriteFileText(input, std::string(der.begin(), der.end()));
  WriteFileText(dir / "cut.der", std::string(der.begin(), der.begin() + 300));
  WriteFileText(dir / "a.kyr", "key ring");
  auto view = [&](const std::string& in, const std::string& to, const std::string& flags = "UseBER") {
    return "CertReqFile=" + in + ";EntriesFile=" + to + ";" + flags;
  };
  ExpectRefusals(
      "ViewCert",
      {
          {"no EntriesFile", "CertReqFile=" + input, kMsgNoEntriesFile},
          {"no CertReqFile", "EntriesFile=" + out, kMsgNoRequestFile},
          {"the input does not exist", view(dir / "none.cer", out), kMsgRequestFileOpenFailed},
          {"the input is the key ring file", "KeyFile=" + (dir / "a.kyr") + ";" + view(dir / "a.kyr", out),
           kMsgRequestFileIsKeyFile},
          {"the output cannot be created", view(input, dir / "no/such/dir.txt"), kMsgEntriesFileCreateFailed},
          {"the output is the input by another name", view(input, dir.path() + "/./root.der"),
           kMsgEntriesFileCreateFailed},
          {"the output is the key ring", "KeyFile=" + (dir / "a.kyr") + ";" + view(input, dir / "a.kyr"),
           kMsgEntriesFileCreateFailed},
          {"a truncated certificate", view(dir / "cut.der", out), kMsgBadCertificate},
          {"a truncated certificate dumped", view(dir / "cut.der", out, "UseBER;WriteBER"), kMsgBadCertificate},
          {"a certificate read as a request", view(input, out, "UseBER;UsePKCS"), kMsgBadRequest},
      },
      {input, dir / "a.kyr"});
}

TEST(ViewCert, APemMessageShowsItsOriginatorCertificate) {
  TempDir dir;
  const std::vector<std::uint8_t> der = ReportData("root.der");
  std::FILE* file = std::fopen((dir / "request.pem").c_str(), "w");
  ASSERT_NE(file, nullptr);
  // The MIC is not checked when viewing: any signature octets do.
  ASSERT_EQ(WritePemRequestSigned(file, der.data(), static_cast<std::int32_t>(der.size()),
                                  "This is an RFC-1424 CSR.\n", std::vector<std::uint8_t>(64, 7)),
            0);
  std::fclose(file);
  EXPECT_EQ(View(dir / "request.pem", dir / "out.txt", "").message, kMsgCertWritten);
  EXPECT_EQ(ReadFileText(dir / "out.txt"), ReportText("root.txt"));
  // With UseBER no PEM message is looked for: the text is not Base64.
  EXPECT_EQ(View(dir / "request.pem", dir / "out.txt", "UseBER;WriteBER").message, kMsgBadCertificate);
}

}  // namespace
}  // namespace kcertadm
