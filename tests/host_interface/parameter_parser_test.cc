#include "host_interface/parameter_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "host_interface/command_context.h"
#include "host_interface/keyword_table.h"
#include "host_interface/messages.h"

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

TEST(FindKeyword, AbbreviationsSelectTheFirstMatchInTableOrder) {
  struct Case { const char* token; int id; } const kTests[] = {
      {"Key", kKwKeyFile},         // KeyFile comes before KeyName and KeySize
      {"Org", kKwOrg},             // not OrgUnit
      {"UsePKCS", kKwUsePKCS},     // not UsePKCS7
      {"usepem", kKwUsePEM},       // letter case does not matter
      {"KeyFileX", -1},            // longer than every keyword it starts with
      {"Pass word", -1},           // blanks belong to the token
  };
  for (const Case& c : kTests) EXPECT_EQ(FindKeyword(c.token), c.id) << c.token;
}

TEST(ParseParameters, StoresTextValues) {
  Parsed p("KeyFile=a=b;CommonName=Web Server ;EMail=x@y;Country=DE;State=Bavaria;"
           "City=Munich;Org=Acme;OrgUnit=IT;ZipCode=80331;NewPassword=n;CertReqFile=r;"
           "CertFile=c;EntriesFile=e");
  ASSERT_EQ(p.status, 0);
  const SecurityCmdContext& c = p.context;
  std::string fields;
  for (const char* field : {c.keyFile, c.commonName, c.email, c.country, c.state, c.city, c.org, c.orgUnit,
                            c.zipCode, c.newPassword, c.certReqFile, c.certFile, c.entriesFile, c.orgUnit2})
    fields += Str(field) + " ";
  // Blanks are kept; OrgUnit2 is not given.
  EXPECT_EQ(fields, R"("a=b" "Web Server " "x@y" "DE" "Bavaria" "Munich" "Acme" "IT" "80331" "n" "r" "c" "e" none )");
  EXPECT_TRUE(c.keyFile >= p.buffer.data() && c.keyFile < p.buffer.data() + p.buffer.size());  // in the caller's text
  // An empty item is the empty token, which names CommonName: it clears it.
  EXPECT_STREQ(Parsed("CommonName=web;KeyFile=k;;").context.commonName, "");
}

// How each way of writing an item leaves a text field and a number field.
TEST(ParseParameters, ValueForms) {
  struct Case { const char* text; const char* label; std::int32_t key_size; } const kTests[] = {
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
  struct Case { const char* text; std::int32_t value; } const kTests[] = {
      {"4294967296", INT32_MAX}, {"99999999999999999999999", INT32_MAX}, {"-99999999999999999999999", INT32_MIN},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"\t\n 42", 42},
      {" 2048xyz", 2048} /* stops at a non-digit */, {"+768", 768}, {"- 3", 0}, {"", 0},
  };
  for (const Case& c : kTests) EXPECT_EQ(ParseDecimal(c.text), c.value) << c.text;
}

TEST(ParseParameters, FlagsIgnoreTheirValue) {
  Parsed p("UsePEM=0;UsePKCS;UsePKCS7;ShowPrivateKey;ShowRawCert;SelfSigned;NoTrust;"
           "ClientCert;UseBER;WriteBinary;WriteBER;GetIssuer;Verify;UseStash;NoStashFile=no");
  ASSERT_EQ(p.status, 0);
  const SecurityCmdContext& c = p.context;
  std::string flags;
  for (std::int32_t flag : {c.usePEM, c.usePKCS, c.usePKCS7, c.showPrivateKey, c.showRawCert, c.selfSigned,
                            c.noTrust, c.clientCert, c.useBER, c.writeBinary, c.writeBER, c.getIssuer, c.verify,
                            c.useStash, c.noStashFile, c.designateRoot, c.noZavFlag})
    flags += std::to_string(flag);
  EXPECT_EQ(flags, "111111111111111" "00");  // no keyword sets DesignateRoot; NoZAV is not given
}

TEST(ParseParameters, ChecksPerCommand) {
  using enum CommandId;
  struct Case { std::string text; CommandId command; std::uint32_t message; const char* why; } const kTests[] = {
      {"Bogus=1", kAdminSecurity, kMsgUnknownKeyword, "unknown keyword"},
      {"KeyFile=a;Bogus", kViewCert, kMsgUnknownKeyword, "unknown keyword later"},
      {"Version=3", kAdminSecurity, kMsgBadVersion, "only version 2"},
      {"Version", kAdminSecurity, kMsgBadVersion, "version without value"},
      {"Version=2 ", kAdminSecurity, kMsgBadVersion, "blank is part of the value"},
      {"Version=2;NoZAV", kAdminSecurity, 0, "version 2"},
      {"KeyFile=", kViewCert, 0, "no key ring needed"},
      {"", kGetEntries, kMsgNoPassword, "no password"},
      {"Password=", kGetEntries, kMsgNoPassword, "empty password"},
      {"UseStash", kGetEntries, 0, "the stash stands in; the default key file counts"},
      {"Password=p;KeyFile=", kGetEntries, kMsgNoKeyFile, "key file emptied"},
      {"UseStash;KeyFile", kChangePassword, kMsgNoKeyFile, "key file without value"},
      {"Password=p;ValidDays=10001", kSignCert, kMsgBadValidDays, "too many days"},
      {"Password=p;ValidDays=10000", kSignCert, 0, "the most days"},
      {"Password=p;ValidDays=0", kSignCert, 0, "no days"},
      {"Password=p;ValidDays=-1", kSignCert, kMsgBadValidDays, "negative days"},
      {"Password=p;ValidDays=10001", kCreateSelfSigned, 0, "days checked only for SignCert"},
      {"ValidDays=20000", kSignCert, kMsgBadValidDays, "days checked before password"},
      {"ValidDays=5", kSignCert, kMsgNoPassword, "sign needs a password too"},
      {"CommonName" + std::string(65536, 'x') + "=v", kAdminSecurity, kMsgUnknownKeyword, "not cut to a short count"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Parsed p(c.text, c.command);
    EXPECT_EQ(std::make_pair(p.status, p.slot), std::make_pair(c.message == 0 ? 0 : -1, c.message));
  }
}

TEST(ParseParameters, NullTextLeavesTheDefaults) {
  Parsed p("");
  EXPECT_EQ(ParseParameters(nullptr, p.context, CommandId::kAdminSecurity, p.slot), 0);
  const SecurityCmdContext& c = p.context;
  EXPECT_EQ(std::to_string(c.validDays) + " " + std::to_string(c.keySize) + " " + Str(c.password) + " " +
                std::to_string(c.reserved40) + " " + Str(c.keyFile), "365 512 none 0 \"keyfile.kyr\"");
}

}  // namespace
}  // namespace kcertadm
