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

// Parses `text` (copied into writable memory that outlives the result) for
// `command`.
struct Parsed {
  explicit Parsed(const std::string& text, CommandId command = CommandId::kAdminSecurity)
      : buffer(text.begin(), text.end()) {
    buffer.push_back('\0');
    ResetCommandContext(context);
    status = ParseParameters(buffer.data(), context, command, slot);
  }
  std::vector<char> buffer;
  SecurityCmdContext context;
  std::uint32_t slot = 0;
  std::int32_t status = 0;
};

std::string Str(const char* text) { return text ? std::string("\"") + text + "\"" : "none"; }

TEST(NextItem, SplitsItemsInPlace) {
  char text[] = "KeyFile=a=b;UsePEM;Password=;City";
  char* cursor = text;
  const char* value = nullptr;

  EXPECT_EQ(NextItem(cursor, value), kKwKeyFile);
  EXPECT_STREQ(value, "a=b");  // a value may hold "="
  EXPECT_EQ(NextItem(cursor, value), kKwUsePEM);
  EXPECT_STREQ(value, "");  // ended at ";": the empty text
  EXPECT_EQ(NextItem(cursor, value), kKwPassword);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(NextItem(cursor, value), kKwCity);
  EXPECT_EQ(value, nullptr);  // ended at the end: no value
  EXPECT_EQ(*cursor, '\0');

  char last[] = "Org=Acme";
  cursor = last;
  EXPECT_EQ(NextItem(cursor, value), kKwOrg);
  EXPECT_STREQ(value, "Acme");
  EXPECT_EQ(cursor, nullptr) << "the text ended in a value";
}

TEST(FindKeyword, AbbreviationsSelectTheFirstMatchInTableOrder) {
  struct Case {
    const char* token;
    int id;
  } const kTests[] = {
      {"", kKwCommonName},         // the empty token matches the first keyword
      {"C", kKwCommonName},
      {"Ci", kKwCity},
      {"Key", kKwKeyFile},         // KeyFile comes before KeyName and KeySize
      {"KeyN", kKwKeyName},
      {"Org", kKwOrg},             // not OrgUnit
      {"UsePKCS", kKwUsePKCS},     // not UsePKCS7
      {"UsePKCS7", kKwUsePKCS7},
      {"usepem", kKwUsePEM},       // letter case does not matter
      {"KEYFILE", kKwKeyFile},
      {"KeyFileX", -1},            // longer than every keyword it starts with
      {"Pass word", -1},           // blanks belong to the token
      {" KeyFile", -1},
      {"NoZ", kKwNoZAV},
      {"Zzz", -1},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.token);
    EXPECT_EQ(FindKeyword(c.token), c.id);
  }
}

TEST(ParseParameters, StoresTextValues) {
  Parsed p("KeyFile=a=b;CommonName=Web Server ;EMail=x@y;Country=DE;State=Bavaria;"
           "City=Munich;Org=Acme;OrgUnit=IT;ZipCode=80331;NewPassword=n;CertReqFile=r;"
           "CertFile=c;EntriesFile=e");
  ASSERT_EQ(p.status, 0);
  const SecurityCmdContext& c = p.context;
  std::string fields;
  for (const char* field : {c.keyFile, c.commonName, c.email, c.country, c.state, c.city, c.org, c.orgUnit,
                            c.zipCode, c.newPassword, c.certReqFile, c.certFile, c.entriesFile, c.orgUnit2}) {
    fields += Str(field) + " ";
  }
  // Blanks are kept; OrgUnit2 is not given.
  EXPECT_EQ(fields, R"("a=b" "Web Server " "x@y" "DE" "Bavaria" "Munich" "Acme" "IT" "80331" "n" "r" "c" "e" none )");
  // The values point into the caller's text.
  EXPECT_GE(p.context.keyFile, p.buffer.data());
  EXPECT_LT(p.context.keyFile, p.buffer.data() + p.buffer.size());
}

TEST(ParseParameters, ValueForms) {
  // How each way of writing an item leaves a text field and a number field.
  struct Case {
    const char* text;
    const char* label;  // expected label, null for none
    std::int32_t key_size;
  } const kTests[] = {
      {"", nullptr, 512},
      {"KeyName=web", "web", 512},
      {"KeyName=a;EntryLabel=b", "b", 512},  // same field: the later item wins
      {"EntryLabel=b;KeyName=a", "a", 512},
      {"KeyName", nullptr, 512},             // bare at the end: no value
      {"KeyName;KeySize", "", 512},          // bare before ";": the empty text
      {"KeySize;KeyName=x", "x", 0},         // empty number value reads as 0
      {"KeySize=1024", nullptr, 1024},
      {"KeySize= 2048xyz", nullptr, 2048},   // blanks skipped, stops at a non-digit
      {"KeySize=+768", nullptr, 768},
      {"KeySize=-5", nullptr, -5},
      {"KeySize=abc", nullptr, 0},
      {"KeyName=x;", "x", 512},              // a final ";" adds no item
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.text);
    Parsed p(c.text);
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(Str(p.context.label), Str(c.label));
    EXPECT_EQ(p.context.keySize, c.key_size);
  }
}

TEST(ParseParameters, EmptyItemClearsCommonName) {
  Parsed p("CommonName=web;KeyFile=k;;");
  ASSERT_EQ(p.status, 0);
  EXPECT_STREQ(p.context.commonName, "");
  EXPECT_STREQ(p.context.keyFile, "k");
}

TEST(ParseDecimal, HoldsValuesBeyondThe32BitRange) {
  // A wrapped value could pass a range check: 4294967296 would become 0.
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
      {"- 3", 0},
      {"", 0},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDecimal(c.text), c.value);
  }
}

TEST(ParseParameters, FlagsIgnoreTheirValue) {
  Parsed p("UsePEM=0;UsePKCS;UsePKCS7;ShowPrivateKey;ShowRawCert;SelfSigned;NoTrust;"
           "ClientCert;UseBER;WriteBinary;WriteBER;GetIssuer;Verify;UseStash;NoStashFile=no");
  ASSERT_EQ(p.status, 0);
  const SecurityCmdContext& c = p.context;
  for (std::int32_t flag : {c.usePEM, c.usePKCS, c.usePKCS7, c.showPrivateKey, c.showRawCert,
                            c.selfSigned, c.noTrust, c.clientCert, c.useBER, c.writeBinary,
                            c.writeBER, c.getIssuer, c.verify, c.useStash, c.noStashFile}) {
    EXPECT_EQ(flag, 1);
  }
  EXPECT_EQ(c.designateRoot, 0);  // no keyword sets it
  EXPECT_EQ(c.noZavFlag, 0);
}

TEST(ParseParameters, ChecksPerCommand) {
  struct Case {
    const char* text;
    CommandId command;
    std::uint32_t message;  // 0: accepted
    const char* why;
  } const kTests[] = {
      {"Bogus=1", CommandId::kAdminSecurity, kMsgUnknownKeyword, "unknown keyword"},
      {"KeyFile=a;Bogus", CommandId::kViewCert, kMsgUnknownKeyword, "unknown keyword later"},
      {"Version=3", CommandId::kAdminSecurity, kMsgBadVersion, "only version 2"},
      {"Version", CommandId::kAdminSecurity, kMsgBadVersion, "version without value"},
      {"Version;", CommandId::kAdminSecurity, kMsgBadVersion, "version with empty value"},
      {"Version=2 ", CommandId::kAdminSecurity, kMsgBadVersion, "blank is part of the value"},
      {"Version=2;NoZAV", CommandId::kAdminSecurity, 0, "version 2"},
      {"", CommandId::kAdminSecurity, 0, "nothing needed"},
      {"KeyFile=", CommandId::kViewCert, 0, "no key ring needed"},
      {"", CommandId::kGetEntries, kMsgNoPassword, "no password"},
      {"Password=", CommandId::kGetEntries, kMsgNoPassword, "empty password"},
      {"Password=p", CommandId::kGetEntries, 0, "the default key file counts"},
      {"UseStash", CommandId::kGetEntries, 0, "the stash stands in for the password"},
      {"Password=p;KeyFile=", CommandId::kGetEntries, kMsgNoKeyFile, "key file emptied"},
      {"Password=p;KeyFile", CommandId::kDeleteEntry, kMsgNoKeyFile, "key file without value"},
      {"UseStash;KeyFile=", CommandId::kChangePassword, kMsgNoKeyFile, "stash needs a key file"},
      {"Password=p;ValidDays=10001", CommandId::kSignCert, kMsgBadValidDays, "too many days"},
      {"Password=p;ValidDays=10000", CommandId::kSignCert, 0, "the most days"},
      {"Password=p;ValidDays=0", CommandId::kSignCert, 0, "no days"},
      {"Password=p;ValidDays=-1", CommandId::kSignCert, kMsgBadValidDays, "negative days"},
      {"Password=p;ValidDays=4294967296", CommandId::kSignCert, kMsgBadValidDays,
       "a huge value must not wrap into range"},
      {"Password=p;ValidDays=10001", CommandId::kCreateSelfSigned, 0, "days checked only for SignCert"},
      {"ValidDays=20000", CommandId::kSignCert, kMsgBadValidDays, "days checked before password"},
      {"ValidDays=5", CommandId::kSignCert, kMsgNoPassword, "sign needs a password too"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    Parsed p(c.text, c.command);
    EXPECT_EQ(p.status, c.message == 0 ? 0 : -1);
    EXPECT_EQ(p.slot, c.message);
  }
}

TEST(ParseParameters, NullTextRunsOnlyTheChecksOnTheDefaults) {
  SecurityCmdContext context;
  std::memset(&context, 0xAB, sizeof context);
  ResetCommandContext(context);
  EXPECT_EQ(context.validDays, 365);
  EXPECT_EQ(context.password, nullptr);
  EXPECT_EQ(context.reserved40, 0u);
  std::uint32_t slot = 0;
  EXPECT_EQ(ParseParameters(nullptr, context, CommandId::kCreateKeyFile, slot), -1);
  EXPECT_EQ(slot, kMsgNoPassword);
  slot = 0;
  EXPECT_EQ(ParseParameters(nullptr, context, CommandId::kAdminSecurity, slot), 0);
  EXPECT_STREQ(context.keyFile, "keyfile.kyr");
}

TEST(ParseParameters, LongTokensAreNotCutToAShortCount) {
  // A keyword token longer than 65535 bytes must not be read as a short one.
  std::string text = "CommonName" + std::string(65536, 'x') + "=v";
  Parsed p(text);
  EXPECT_EQ(p.status, -1);
  EXPECT_EQ(p.slot, kMsgUnknownKeyword);
}

}  // namespace
}  // namespace kcertadm
