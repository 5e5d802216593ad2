// GetEntries on a key ring of fixed entries: the listing against the committed reports, and each
// output choice.
#include "command_test_util.h"
#include "commands/report_dump.h"
#include "keyring/password_protection.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

constexpr char kPassword[] = "entries password";

// The root's key (report data root.key) sealed as key rings store it, with the salt 01..08.
SecureBytes SealedRootKey() {
  const std::string text = ReportText("root.key");
  const std::size_t begin = text.find('\n') + 1;
  Asn1Item der{};
  EXPECT_GT(Base64Decode(text.data() + begin,
                         static_cast<std::int32_t>(text.find("-----END") - begin), &der),
            0);
  PbeKey key;
  DerivePbeKey(kPassword, Hex("01 02 03 04 05 06 07 08").data(), kPrivateKeyIterations, key);
  const SecureBytes sealed =
      PbeEncrypt(key, ByteView(der.data, static_cast<std::size_t>(der.length)));
  std::free(der.data);
  const Bytes info = Tlv(0x30, Cat({Hex("30 1A 06 09 2A 86 48 86 F7 0D 01 05 01 30 0D 04 08 01 02 "
                                        "03 04 05 06 07 08 02 01 03"),
                                    Tlv(0x04, Bytes(sealed.begin(), sealed.end()))}));
  return SecureBytes(info.begin(), info.end());
}

// The entry KeyRingAddCertificate makes of a report data certificate.
KeyRingEntry EntryFrom(const std::string& name, const std::string& label) {
  EXPECT_EQ(KeyRingAddCertificate(ReportData(name), std::string_view(label), nullptr), 0) << name;
  KeyRingEntry entry = KeyRingFindEntry(std::string_view(label)).value_or(KeyRingEntry{});
  EXPECT_EQ(KeyRingDeleteEntry(label), 0) << name;
  return entry;
}

// Listed in this order: a certificate entry, a trusted entry without certificate, a key entry
// (root's key and cert).
void WriteTestKeyRing(const std::string& path) {
  KeyRingClear();
  KeyRingEntry server = EntryFrom("root.der", "server");
  server.privateKey = SealedRootKey();
  KeyRingEntry names = EntryFrom("strings.der", "names");
  names.certificates.clear();
  names.flags = kKeyRingTrustedRoot;
  KeyRingEntry authority = EntryFrom("chained.der", "chained authority");
  for (KeyRingEntry* entry : {&server, &names, &authority})
    ASSERT_EQ(KeyRingInsertEntry(*entry), 0);
  ASSERT_EQ(KeyRingWrite(path, std::string_view(kPassword)), 0);
  KeyRingClear();
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
  const std::string strings = ReportText("strings.txt");
  const std::string listed =
      "\nEntryLabel: chained authority\n" + ReportText("chained.txt") +
      "TrustedRoot: no\nPrivateKey: no\nKeySize: 1024\n\nEntryLabel: names\n" +
      strings.substr(0, strings.find("IssuerCountry")) +
      "TrustedRoot: yes\nPrivateKey: no\nKeySize: 1024\n";
  const std::string server = "\nEntryLabel: server\n" + ReportText("root.txt") +
                             "TrustedRoot: no\nPrivateKey: yes\nKeySize: 1024\n";
  // Entries with a private key are listed only with ShowPrivateKey.
  for (const auto& [flags, expected] :
       {std::pair{"", listed}, {";ShowPrivateKey", listed + server}}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(RunCommand("GetEntries", Parameters(flags)), Ok(kMsgEntriesListed));
    EXPECT_EQ(ReadFileText(out), expected);
    EXPECT_EQ(KeyRingEntryCount(), 0u) << "the key ring is cleared after listing";
    EXPECT_FALSE(KeyRingHasPassword());
  }
}

TEST_F(GetEntries, ShowRawCertAndDumps) {
  auto dump = [](const auto& der) {
    return Captured(
        [&](std::FILE* f) { WriteStructureDump(f, Asn1View(der.data(), der.size()), 1, nullptr); });
  };
  ASSERT_EQ(RunCommand("GetEntries", Parameters(";ShowPrivateKey;ShowRawCert;WriteBER")),
            Ok(kMsgEntriesListed));
  // The armoured certificate, its report and its dump; the private key dumped as stored, encrypted.
  EXPECT_TRUE(ReadFileText(out).ends_with("\nEntryLabel: server\n" + ReportText("root.pem") +
                                          ReportText("root.txt") + dump(ReportData("root.der")) +
                                          "TrustedRoot: no\nPrivateKey: yes\n" +
                                          dump(SealedRootKey()) + "KeySize: 1024\n"));
}

// The other refusals of the report file are ViewCert's; this one would destroy the key ring.
TEST_F(GetEntries, RefusesToWriteOverTheKeyRing) {
  const std::string parameters =
      "KeyFile=" + keyFile + ";Password=" + kPassword + ";EntriesFile=" + keyFile;
  ExpectRefusals(
      {{"GetEntries", "the output is the key ring", parameters, kMsgEntriesFileCreateFailed}},
      {keyFile});
  EXPECT_EQ(KeyRingEntryCount(), 0u);
}

}  // namespace
}  // namespace kcertadm
