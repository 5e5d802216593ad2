// ViewCert: each output choice and kind of input against the committed reports (written by hand),
// and the refusals.
#include "command_test_util.h"
#include "commands/report_format.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// The "0x" dump of a whole file, as the report unit writes it.
std::string PrefixedDump(const Bytes& bytes) {
  return Captured(
      [&](std::FILE* f) { WriteHexDump(f, bytes.data(), bytes.size(), 0, HexForm::kPrefixed); });
}

Outcome View(const std::string& input, const std::string& out, const std::string& flags) {
  return RunCommand("ViewCert", "CertReqFile=" + input + ";EntriesFile=" + out +
                                    (flags.empty() ? "" : ";" + flags));
}

TEST(ViewCert, EachOutputChoice) {
  const Bytes der = ReportData("root.der");
  const struct {
    const char* name;
    std::string input, flags, expected;
    bool prefixOnly;
  } kTests[] = {
      {"a self-signed root verified", "root.der", "UseBER;Verify", ReportText("root.txt"), false},
      {"an issued certificate is not verified", "chained.der", "UseBER;Verify",
       ReportText("chained.txt"), false},
      {"name strings", "strings.der", "UseBER", ReportText("strings.txt"), false},
      {"a certificate in a SEQUENCE", "sequence.der", "UseBER", ReportText("sequence.txt"), false},
      {"report of an armoured file", "root.pem", "", ReportText("root.txt"), false},
      {"report of every certificate of a PKCS #7 bundle", "bundle.p7b", "UseBER",
       ReportText("bundle.txt"), false},
      {"report of a request", "request.pem", "UsePKCS", ReportText("request.txt"), false},
      {"DER copied byte for byte", "root.pem", "WriteBinary", std::string(der.begin(), der.end()),
       false},
      {"hex dump", "root.der", "UseBER;WriteBinary;WriteBER", PrefixedDump(der), false},
      {"raw hex dump", "root.der", "UseBER;ShowRawCert;WriteBinary", PrefixedDump(der) + "\n",
       false},
      {"armoured", "root.der", "UseBER;ShowRawCert", ReportText("root.pem"), false},
      {"structure dump", "root.pem", "WriteBER",
       "Sequence: Record Length = 702\n  Sequence: Record ", true},
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
  auto write = [&](const char* name, const Bytes& b) {
    return dir.Write(name, std::string(b.begin(), b.end()));
  };
  const Bytes der = ReportData("root.der");
  const std::string input = write("root.der", der),
                    cut = write("cut.der", Bytes(der.begin(), der.begin() + 300));
  Bytes broken = der, request = ReportData("request.der");
  broken[broken.size() - 3] ^= 0x40;  // inside the signature
  request[request.size() - 2] ^= 0x01;
  const std::string ring = dir.Write("a.kyr", "key ring"), empty = write("empty.der", {});
  auto view = [&](const std::string& in, const std::string& to,
                  const std::string& flags = "UseBER") {
    return "CertReqFile=" + in + ";EntriesFile=" + to + ";" + flags;
  };
  ExpectRefusals(
      {
          {"ViewCert", "no EntriesFile", "CertReqFile=" + input, kMsgNoEntriesFile},
          {"ViewCert", "no CertReqFile", "EntriesFile=" + out, kMsgNoRequestFile},
          {"ViewCert", "the input does not exist", view(dir / "none.cer", out),
           kMsgRequestFileOpenFailed},
          {"ViewCert", "the input is the key ring file", "KeyFile=" + ring + ";" + view(ring, out),
           kMsgRequestFileIsKeyFile},
          {"ViewCert", "the output cannot be created", view(input, dir / "no/such/dir.txt"),
           kMsgEntriesFileCreateFailed},
          {"ViewCert", "the output is the input by another name",
           view(input, dir.path() + "/./root.der"), kMsgEntriesFileCreateFailed},
          {"ViewCert", "the output is the key ring", "KeyFile=" + ring + ";" + view(input, ring),
           kMsgEntriesFileCreateFailed},
          // Nothing to read is a read failure, not an empty certificate.
          {"ViewCert", "an empty file", view(empty, out), kMsgCertFileReadFailed},
          {"ViewCert", "a truncated certificate", view(cut, out), kMsgBadCertificate},
          {"ViewCert", "a certificate read as a request", view(input, out, "UseBER;UsePKCS"),
           kMsgBadRequest},
          {"ViewCert", "a broken signature",
           view(write("broken.der", broken), out, "UseBER;Verify"), kMsgBadSignature},
          {"ViewCert", "a request whose signature is broken",
           view(write("request.der", request), out, "UseBER;UsePKCS"), kMsgBadSignature},
          {"ViewCert", "a container of an unknown content type",
           view(write("enveloped.p7", Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 07 03 A0 00")), out),
           kMsgBadCertificate},
          {"ViewCert", "SignedData without certificates",
           view(write("empty.p7", Hex("30 1C 06 09 2A 86 48 86 F7 0D 01 07 02 A0 0F 30 0D 02 01 01 "
                                      "31 00 30 02 06 00 "
                                      "31 00 00 00")),
                out),
           kMsgBadCertificate},
      },
      {input, ring});
}

}  // namespace
}  // namespace kcertadm
