#include "host_interface/parameter_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "host/messages.h"
#include "host_interface/command_context.h"
#include "host_interface/keyword_table.h"

namespace kcertadm {
namespace {

// Parses text for command, in writable memory that outlives the result.
struct Parsed {
  explicit Parsed(const std::string& text, CommandId command = CommandId::kAdminSecurity)
      : buffer(text.begin(), text.end()) {
    buffer.push_back('\0');
    std::memset(&context, 0xAB, sizeof context);  // the reset must clear every field
    ResetCommandContext(context);
    status = ParseParameters(buffer.data(), context, command, slot);
  }
  std::vector<char> buffer;
  SecurityCmdContext context;
  std::uint32_t slot = 0;
  std::int32_t status = 0;
};

std::string Str(const char* text) { return text ? std::string("\"") + text + "\"" : "none"; }

// Each keyword (any case, or cut short: "Key" is the first match, KeyFile) fills its field; flags
// ignore values.
TEST(ParseParameters, StoresEachKeywordInItsField) {
  Parsed p(
      "Key=a=b;CommonName=Web Server "
      ";EMail=x@y;Country=DE;State=Bavaria;City=Munich;Org=Acme;OrgUnit=IT;"
      "ZipCode=80331;NewPassword=n;CertReqFile=r;CertFile=c;EntriesFile=e;usepem=0;UsePKCS;"
      "UsePKCS7;"
      "ShowPrivateKey;ShowRawCert;SelfSigned;NoTrust;ClientCert;UseBER;WriteBinary;WriteBER;"
      "GetIssuer;Verify;"
      "UseStash;NoStashFile=no");
  ASSERT_EQ(p.status, 0);
  const SecurityCmdContext& c = p.context;
  std::string fields;
  for (const char* field :
       {c.keyFile, c.commonName, c.email, c.country, c.state, c.city, c.org, c.orgUnit, c.zipCode,
        c.newPassword, c.certReqFile, c.certFile, c.entriesFile, c.orgUnit2, c.password})
    fields += Str(field) + " ";
  for (std::int32_t flag :
       {c.usePEM, c.usePKCS, c.usePKCS7, c.showPrivateKey, c.showRawCert, c.selfSigned, c.noTrust,
        c.clientCert, c.useBER, c.writeBinary, c.writeBER, c.getIssuer, c.verify, c.useStash,
        c.noStashFile, c.designateRoot, c.noZavFlag})
    fields += std::to_string(flag);
  fields += " " + std::to_string(c.validDays) + " " + std::to_string(c.keySize) + " " +
            std::to_string(c.reserved40);
  // No keyword sets DesignateRoot or OrgUnit2.
  EXPECT_EQ(
      fields,
      R"("a=b" "Web Server " "x@y" "DE" "Bavaria" "Munich" "Acme" "IT" "80331" "n" "r" "c" "e" )"
      "none none 11111111111111100 365 512 0");
  EXPECT_TRUE(c.keyFile >= p.buffer.data() &&
              c.keyFile < p.buffer.data() + p.buffer.size());  // in the caller's text
  EXPECT_STREQ(Parsed("").context.keyFile, "keyfile.kyr");
  // An empty item is the empty token, which names CommonName: it clears it.
  EXPECT_STREQ(Parsed("CommonName=web;KeyFile=k;;").context.commonName, "");
}

// A keyword cut short selects the first keyword of the table that begins with it, even when a later
// one is a closer fit; a whole keyword that begins a longer one selects itself.
TEST(FindKeyword, AbbreviationSelectsTheFirstKeywordItBegins) {
  const struct {
    const char* token;
    int want;
    const char* why;
  } kTests[] = {
      {"Cert", kKwCertReqFile, "CertReqFile stands before CertFile"},
      {"Entr", kKwEntriesFile, "EntriesFile stands before EntryLabel"},
      {"Use", kKwUsePEM, "the first of six keywords beginning Use"},
      {"UsePKCS", kKwUsePKCS, "a whole keyword, not UsePKCS7 which it begins"},
      {"usepkcs7", kKwUsePKCS7, "letter case ignored"},
      {"UsePKCS7X", -1, "longer than every keyword"},
  };
  for (const auto& c : kTests) EXPECT_EQ(FindKeyword(c.token), c.want) << c.token << ": " << c.why;
  // Through the parser: the abbreviation sets the field of the keyword it selects.
  const Parsed p("Cert=r;Entr=e;Use;UsePKCS");
  EXPECT_EQ(
      std::tuple(Str(p.context.certReqFile), Str(p.context.certFile), Str(p.context.entriesFile),
                 Str(p.context.label), p.context.usePEM, p.context.usePKCS, p.context.usePKCS7),
      std::tuple(Str("r"), Str(nullptr), Str("e"), Str(nullptr), 1, 1, 0));
}

// The keywords appended after the original 35 set the command's options and
// leave the record alone; every abbreviation that selected one of the 35
// still selects it, and the new ones are reached by their own prefixes.
TEST(ParseParameters, AppendedKeywordsSetOptionsOnly) {
  const struct {
    const char* token;
    int want;
    const char* why;
  } kTests[] = {
      {"S", kKwState, "State stands before SubjectAltName"},
      {"W", kKwWriteBinary, "WriteBinary stands before WithChain"},
      {"P", kKwPassword, "Password stands before PemKey"},
      {"Su", kKwSubjectAltName, "no keyword of the 35 begins Su"},
      {"Wi", kKwWithChain, "no keyword of the 35 begins Wi"},
      {"Pe", kKwPemKey, "no keyword of the 35 begins Pe"},
      {"D", kKwDigest, "no keyword of the 35 begins D"},
      {"F", kKwFilePassword, "no keyword of the 35 begins F"},
  };
  for (const auto& c : kTests) EXPECT_EQ(FindKeyword(c.token), c.want) << c.token << ": " << c.why;

  std::vector<char> text;
  for (char ch : std::string(
           "Digest=SHA256;SubjectAltName=DNS:a,IP:192.0.2.1;WithChain;FilePassword=f;PemKey=0"))
    text.push_back(ch);
  text.push_back('\0');
  SecurityCmdContext context;
  ResetCommandContext(context);
  SecurityCmdContext untouched;
  ResetCommandContext(untouched);
  CommandOptions options;
  std::uint32_t slot = 0;
  ASSERT_EQ(ParseParameters(text.data(), context, options, CommandId::kAdminSecurity, slot), 0);
  EXPECT_EQ(std::tuple(Str(options.digest), Str(options.subjectAltName), options.withChain,
                       Str(options.filePassword), options.pemKey),
            std::tuple(Str("SHA256"), Str("DNS:a,IP:192.0.2.1"), 1, Str("f"), 1));
  EXPECT_EQ(std::memcmp(&context, &untouched, sizeof context), 0);
}

// How each way of writing an item leaves a text field and a number field.
TEST(ParseParameters, ValueForms) {
  struct Case {
    const char* text;
    const char* label;
    std::int32_t key_size;
  } const kTests[] = {
      {"KeyName=a;EntryLabel=b", "b", 512},  // same field: the later item wins
      {"KeyName", nullptr, 512},             // bare at the end: no value
      {"KeyName;KeySize", "", 512},          // bare before ";": the empty text
      {"KeySize;KeyName=x", "x", 0},         // empty number value reads as 0
      {"KeyName=x;", "x", 512},              // a final ";" adds no item
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.text);
    Parsed p(c.text);
    EXPECT_EQ(Str(p.context.label) + std::to_string(p.context.keySize) + std::to_string(p.status),
              Str(c.label) + std::to_string(c.key_size) + "0");
  }
}

// A wrapped value could pass a range check: 4294967296 would become 0.
TEST(ParseDecimal, HoldsValuesBeyondThe32BitRange) {
  struct Case {
    const char* text;
    std::int32_t value;
  } const kTests[] = {
      {"4294967296", INT32_MAX},
      {"99999999999999999999999", INT32_MAX},
      {"-99999999999999999999999", INT32_MIN},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"\t\n 42", 42},
      {" 2048xyz", 2048} /* stops at a non-digit */,
      {"+768", 768},
      {"- 3", 0},
      {"", 0},
  };
  for (const Case& c : kTests) EXPECT_EQ(ParseDecimal(c.text), c.value) << c.text;
}

// Each command's texts with the message they end on (0: accepted).
TEST(ParseParameters, ChecksPerCommand) {
  using enum CommandId;
  using Texts = std::vector<std::pair<std::string, std::uint32_t>>;
  const std::pair<CommandId, Texts> kTests[] = {
      // Only version 2 with its value exactly; the blank is part of the value.
      {kAdminSecurity,
       {{"Version=3", kMsgBadVersion},
        {"Version", kMsgBadVersion},
        {"Version=2 ", kMsgBadVersion},
        {"Version=2;NoZAV", 0},
        {"Bogus=1", kMsgUnknownKeyword},
        // longer than every keyword it starts with; blanks belong to the token
        {"KeyFileX=k", kMsgUnknownKeyword},
        {"Pass word=p", kMsgUnknownKeyword},
        // a 64 KiB token must not be cut to a short count that matches a keyword
        {"CommonName" + std::string(65536, 'x') + "=v", kMsgUnknownKeyword}}},
      {kViewCert,
       {{"KeyFile=", 0} /* no key ring needed */, {"KeyFile=a;Bogus", kMsgUnknownKeyword}}},
      // The stash stands in for the password; the default key file counts, an emptied one does not.
      {kGetEntries,
       {{"", kMsgNoPassword},
        {"Password=", kMsgNoPassword},
        {"UseStash", 0},
        {"Password=p;KeyFile=", kMsgNoKeyFile}}},
      {kChangePassword, {{"UseStash;KeyFile", kMsgNoKeyFile}}},
      // Days are checked in 0..10000, before the password, and only for SignCert.
      {kSignCert,
       {{"Password=p;ValidDays=10001", kMsgBadValidDays},
        {"Password=p;ValidDays=10000", 0},
        {"Password=p;ValidDays=0", 0},
        {"ValidDays=20000", kMsgBadValidDays},
        {"ValidDays=5", kMsgNoPassword}}},
      {kCreateSelfSigned, {{"Password=p;ValidDays=10001", 0}}},
  };
  for (const auto& [command, texts] : kTests) {
    for (const auto& [text, message] : texts) {
      SCOPED_TRACE(text.substr(0, 40));
      Parsed p(text, command);
      EXPECT_EQ(std::make_pair(p.status, p.slot), std::make_pair(message == 0 ? 0 : -1, message));
    }
  }
}

}  // namespace
}  // namespace kcertadm
