#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "cert/certificate.h"
#include "commands/command_test_util.h"
#include "commands/report_util.h"
#include "host_interface/messages.h"
#include "keyring/keyring.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using cmdtest::Outcome;
using cmdtest::ReadFileBytes;
using cmdtest::ReadFileText;
using cmdtest::RunCommand;
using cmdtest::TempDir;
using testing::ReadBytes;
using testing::ReadText;
using testing::ReportDataPath;

constexpr char kPassword[] = "entries password";

Bytes BytesOf(const Asn1Item& item) { return Bytes(item.data, item.data + item.length); }

// A certificate file with its subject and public key.
struct CertificateData {
  explicit CertificateData(const std::string& name) : der(ReadBytes(ReportDataPath(name))) {
    CertData cert{};
    cert.der = Asn1View(der.data(), der.size());
    CertFields fields{};
    std::uint32_t error = 0;
    EXPECT_EQ(ParseCert(&cert, &fields, &error), 0) << name;
    subject = BytesOf(fields.subject);
    publicKey = BytesOf(fields.subjectPublicKeyInfo);
  }
  Bytes der;
  Bytes subject;
  Bytes publicKey;
};

// The numbers of the RSA key in a PEM PKCS #8 PrivateKeyInfo file.
RsaPrivateNumbers PrivateNumbersOf(const std::string& pemFile) {
  std::string text = ReadText(pemFile);
  const std::size_t begin = text.find('\n') + 1;
  const std::size_t end = text.find("-----END");
  Asn1Item der{};
  EXPECT_GT(Base64Decode(text.data() + begin, static_cast<std::int32_t>(end - begin), &der), 0);
  // PrivateKeyInfo { version, algorithm, OCTET STRING { RSAPrivateKey } }
  Asn1Item info = der;
  Asn1Item version{}, algorithm{}, key{};
  const Asn1TemplateEntry outer[] = {
      {kAsn1Integer, &version}, {kAsn1Sequence, &algorithm}, {kAsn1OctetString, &key}};
  EXPECT_EQ(Asn1DecodeTemplate(outer, 3, info, 0), 0);
  EXPECT_GT(Asn1Enter(&key), 0);  // the RSAPrivateKey element
  EXPECT_GT(Asn1Enter(&key), 0);  // its INTEGERs
  Asn1Item parts[9] = {};
  Asn1TemplateEntry rsa[9];
  for (int i = 0; i < 9; ++i) rsa[i] = {kAsn1Integer, &parts[i]};
  EXPECT_EQ(Asn1DecodeTemplate(rsa, 9, key, 1), 0);
  auto secure = [](const Asn1Item& item) { return SecureBytes(item.data, item.data + item.length); };
  RsaPrivateNumbers numbers{secure(parts[1]), secure(parts[2]), secure(parts[3]),
                            secure(parts[4]), secure(parts[5]), secure(parts[6]),
                            secure(parts[7]), secure(parts[8])};
  std::free(der.data);
  return numbers;
}

// A key ring listing, in this order: a certificate entry, a trusted entry
// without certificate, and a key entry holding the root's key and
// certificate.
void WriteTestKeyRing(const std::string& path) {
  const CertificateData root("root.der");
  const CertificateData chained("chained.der");
  const CertificateData strings("strings.der");
  const std::uint8_t salt[kPbeSaltSize] = {1, 2, 3, 4, 5, 6, 7, 8};
  KeyRingClear();

  KeyRingEntry server;
  server.label = LabelBytes("server");
  server.subjectName = root.subject;
  server.publicKey = root.publicKey;
  server.privateKey =
      EncryptPrivateKeyNumbers(PrivateNumbersOf(ReportDataPath("root.key")), kPassword, salt);
  server.certificates = root.der;
  ASSERT_EQ(KeyRingInsertEntry(server), 0);

  KeyRingEntry names;
  names.label = LabelBytes("names");
  names.subjectName = strings.subject;
  names.publicKey = strings.publicKey;
  names.flags = kKeyRingTrustedRoot;
  ASSERT_EQ(KeyRingInsertEntry(names), 0);

  KeyRingEntry authority;
  authority.label = LabelBytes("chained authority");
  authority.subjectName = chained.subject;
  authority.publicKey = chained.publicKey;
  authority.certificates = chained.der;
  ASSERT_EQ(KeyRingInsertEntry(authority), 0);

  ASSERT_EQ(KeyRingWrite(path, std::string_view(kPassword)), 0);
  KeyRingClear();
}

// The subject lines of the name-string certificate's report.
std::string StringsSubjectLines() {
  const std::string report = ReadText(ReportDataPath("strings.txt"));
  return report.substr(0, report.find("IssuerCountry"));
}

std::string ChainedEntry() {
  return "\nEntryLabel: chained authority\n" + ReadText(ReportDataPath("chained.txt")) +
         "TrustedRoot: no\nPrivateKey: no\nKeySize: 1024\n";
}
std::string NamesEntry() {
  return "\nEntryLabel: names\n" + StringsSubjectLines() +
         "TrustedRoot: yes\nPrivateKey: no\nKeySize: 1024\n";
}
std::string ServerEntry() {
  return "\nEntryLabel: server\n" + ReadText(ReportDataPath("root.txt")) +
         "TrustedRoot: no\nPrivateKey: yes\nKeySize: 1024\n";
}

class GetEntries : public ::testing::Test {
 protected:
  void SetUp() override { WriteTestKeyRing(keyFile); }
  std::string Parameters(const std::string& more) const {
    return "KeyFile=" + keyFile + ";Password=" + kPassword + ";EntriesFile=" + out + more;
  }

  TempDir dir;
  std::string keyFile = dir / "entries.kyr";
  std::string out = dir / "entries.txt";
};

TEST_F(GetEntries, ListsEntriesInKeyRingOrder) {
  const struct {
    const char* name;
    std::string flags;
    std::string expected;
  } kTests[] = {
      {"entries with a private key only on request", "", ChainedEntry() + NamesEntry()},
      {"with ShowPrivateKey", ";ShowPrivateKey", ChainedEntry() + NamesEntry() + ServerEntry()},
  };
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.name);
    const Outcome outcome = RunCommand("GetEntries", Parameters(test.flags));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.message, kMsgEntriesListed);
    EXPECT_EQ(ReadFileText(out), test.expected);
  }
}

TEST_F(GetEntries, ShowRawCertAndDumps) {
  const Outcome outcome =
      RunCommand("GetEntries", Parameters(";ShowPrivateKey;ShowRawCert;WriteBER"));
  ASSERT_EQ(outcome.message, kMsgEntriesListed);
  const std::string text = ReadFileText(out);
  const std::string server = text.substr(text.find("\nEntryLabel: server\n"));
  // The armoured certificate, then its report, then its dump at level 1.
  const std::string armoured = ReadText(ReportDataPath("root.pem"));
  EXPECT_EQ(server.substr(0, 20 + armoured.size()), "\nEntryLabel: server\n" + armoured);
  const std::size_t report = server.find(ReadText(ReportDataPath("root.txt")));
  const std::size_t dump = server.find("  Sequence: Record Length = 702\n    Sequence: ");
  const std::size_t trusted = server.find("TrustedRoot: no\nPrivateKey: yes\n");
  EXPECT_NE(report, std::string::npos);
  EXPECT_LT(report, dump);
  EXPECT_LT(dump, trusted);
  // The stored private key is dumped encrypted: EncryptedPrivateKeyInfo with
  // pbeWithMD2AndDES-CBC, the salt and 3 iterations.
  const std::string keyDump = server.substr(trusted + 32);
  const std::string keyHead =
      "  Sequence: Record Length = 672\n"
      "    Sequence: Record Length = 26\n"
      "      OID: 0x2A 0x86 0x48 0x86 0xF7 0x0D 0x01 0x05 0x01 \n"
      "      Sequence: Record Length = 13\n"
      "        Octet string: 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 \n"
      "        Integer: 0x03 \n"
      "    Octet string: \n";
  EXPECT_EQ(keyDump.substr(0, keyHead.size()), keyHead);
  EXPECT_EQ(keyDump.substr(keyDump.size() - 14), "KeySize: 1024\n");
}

TEST_F(GetEntries, FailuresReportTheirStep) {
  const struct {
    const char* why;
    std::string parameters;
    std::uint32_t message;
  } kTests[] = {
      {"no EntriesFile", "KeyFile=" + keyFile + ";Password=" + kPassword, kMsgNoEntriesFile},
      {"a wrong password", "KeyFile=" + keyFile + ";Password=wrong;EntriesFile=" + out,
       kMsgBadPassword},
      {"no such key ring", "KeyFile=" + (dir / "none.kyr") + ";Password=x;EntriesFile=" + out,
       kMsgKeyRingReadFailed},
      {"the output cannot be created", Parameters("").replace(Parameters("").find(out),
                                                              out.size(), dir / "no/dir.txt"),
       kMsgEntriesFileCreateFailed},
      {"the output is the key ring",
       "KeyFile=" + keyFile + ";Password=" + kPassword + ";EntriesFile=" + keyFile,
       kMsgEntriesFileCreateFailed},
  };
  const auto before = ReadFileBytes(keyFile);
  for (const auto& test : kTests) {
    SCOPED_TRACE(test.why);
    const Outcome outcome = RunCommand("GetEntries", test.parameters);
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(outcome.message, test.message);
  }
  EXPECT_EQ(ReadFileBytes(keyFile), before);
  EXPECT_EQ(KeyRingEntryCount(), 0u);
}

TEST_F(GetEntries, ClearsTheKeyRingAfterListing) {
  ASSERT_EQ(RunCommand("GetEntries", Parameters("")).message, kMsgEntriesListed);
  EXPECT_EQ(KeyRingEntryCount(), 0u);
  EXPECT_FALSE(KeyRingHasPassword());
}

}  // namespace
}  // namespace kcertadm
