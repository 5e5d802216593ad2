// ViewCert through the command entry: each output choice against the
// committed reports, and the refusals.
#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// The "0x" dump of a whole file: 14 bytes a line, every line after a line end.
std::string PrefixedDump(const Bytes& bytes) {
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
  const Bytes der = ReportData("root.der");
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
      {"structure dump", "root.pem", "WriteBER", "Sequence: Record Length = 702\n  Sequence: Record Length = 551\n",
       true},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    EXPECT_EQ(View(ReportDataPath(test.input), dir / "out.txt", test.flags), Ok(kMsgCertWritten));
    const std::string written = ReadFileText(dir / "out.txt");
    EXPECT_EQ(test.prefixOnly ? written.substr(0, test.expected.size()) : written, test.expected);
  }
}

TEST(ViewCert, Refusals) {
  TempDir dir;
  const std::string out = dir / "out.txt";
  const Bytes der = ReportData("root.der");
  const std::string input = dir.Write("root.der", std::string(der.begin(), der.end()));
  const std::string cut = dir.Write("cut.der", std::string(der.begin(), der.begin() + 300));
  const std::string ring = dir.Write("a.kyr", "key ring"), empty = dir.Write("empty.der", "");
  auto view = [&](const std::string& in, const std::string& to, const std::string& flags = "UseBER") {
    return "CertReqFile=" + in + ";EntriesFile=" + to + ";" + flags;
  };
  ExpectRefusals(
      {
          {"ViewCert", "no EntriesFile", "CertReqFile=" + input, kMsgNoEntriesFile},
          {"ViewCert", "no CertReqFile", "EntriesFile=" + out, kMsgNoRequestFile},
          {"ViewCert", "the input does not exist", view(dir / "none.cer", out), kMsgRequestFileOpenFailed},
          {"ViewCert", "the input is the key ring file", "KeyFile=" + ring + ";" + view(ring, out),
           kMsgRequestFileIsKeyFile},
          {"ViewCert", "the output cannot be created", view(input, dir / "no/such/dir.txt"),
           kMsgEntriesFileCreateFailed},
          {"ViewCert", "the output is the input by another name", view(input, dir.path() + "/./root.der"),
           kMsgEntriesFileCreateFailed},
          {"ViewCert", "the output is the key ring", "KeyFile=" + ring + ";" + view(input, ring),
           kMsgEntriesFileCreateFailed},
          // Nothing to read is a read failure, not an empty certificate.
          {"ViewCert", "an empty file", view(empty, out), kMsgCertFileReadFailed},
          {"ViewCert", "a truncated certificate", view(cut, out), kMsgBadCertificate},
          {"ViewCert", "a truncated certificate dumped", view(cut, out, "UseBER;WriteBER"), kMsgBadCertificate},
          {"ViewCert", "a certificate read as a request", view(input, out, "UseBER;UsePKCS"), kMsgBadRequest},
      },
      {input, ring});
}

TEST(ViewCert, APemMessageShowsItsOriginatorCertificate) {
  TempDir dir;
  const Bytes der = ReportData("root.der");
  std::FILE* file = std::fopen((dir / "request.pem").c_str(), "w");
  ASSERT_NE(file, nullptr);
  // The MIC is not checked when viewing: any signature octets do.
  ASSERT_EQ(WritePemRequestSigned(file, der.data(), static_cast<std::int32_t>(der.size()), "This is an RFC-1424 CSR.\n",
                                  Bytes(64, 7)),
            0);
  std::fclose(file);
  EXPECT_EQ(View(dir / "request.pem", dir / "out.txt", "").message, kMsgCertWritten);
  EXPECT_EQ(ReadFileText(dir / "out.txt"), ReportText("root.txt"));
  // With UseBER no PEM message is looked for: the text is not Base64.
  EXPECT_EQ(View(dir / "request.pem", dir / "out.txt", "UseBER;WriteBER").message, kMsgBadCertificate);
}

}  // namespace
}  // namespace kcertadm
