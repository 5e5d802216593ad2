#include "password_plan.h"

#include <gtest/gtest.h>

#include <string>

namespace kcertadm::cli {
namespace {

using C = CommandId;

// The plan in words: "takes" a password, "asks", "given", "twice" (new key ring and key),
// "asks-new", the key size.
std::string Words(const PasswordPlan& p) {
  std::string out;
  for (const auto& [on, word] : {std::pair{p.takes_password, "takes"},
                                 {p.needs_password, "asks"},
                                 {p.has_password, "given"},
                                 {p.creates_key_ring && p.creates_key, "twice"},
                                 {p.creates_key_ring != p.creates_key, "half"},
                                 {p.needs_new_password, "asks-new"},
                                 {p.takes_file_password, "file"},
                                 {p.has_file_password, "file-given"},
                                 {p.new_file_password, "file-twice"}})
    if (on) out += std::string(word) + " ";
  return out + std::to_string(p.key_size);
}

// The items are read by the library's parser, whose value rules the parser
// tests check. A command that fails anyway gets an empty plan: nothing is asked.
TEST(PasswordPlan, FollowsTheParser) {
  const struct {
    const char* why;
    CommandId command;
    const char* parameters;
    const char* plan;
  } kTests[] = {
      {"nothing given", C::kGetEntries, "KeyFile=a.kyr;EntriesFile=b", "takes asks 512"},
      {"password given", C::kGetEntries, "Password=x;KeyFile=a.kyr", "takes given 512"},
      {"empty password is a given one", C::kGetEntries, "Password=", "takes given 512"},
      {"stash stands in", C::kDeleteEntry, "UseStash;EntryLabel=a", "takes 512"},
      {"create asks twice", C::kCreateKeyFile, "KeyName=a;CommonName=b", "takes asks twice 512"},
      {"root create", C::kCreateSelfSignedRoot, "KeySize=4096", "takes asks twice 4096"},
      {"new password missing", C::kChangePassword, "Password=x", "takes given asks-new 512"},
      {"new password empty is given", C::kChangePassword, "NewPassword=", "takes asks 512"},
      {"import asks the file password", C::kImportKey, "Password=x;CertReqFile=a.p12",
       "takes given file 512"},
      {"an empty file password is a given one", C::kImportKey,
       "UseStash;FilePassword=", "takes file file-given 512"},
      {"export asks it twice", C::kExportKey, "Password=x;CertFile=a.p12",
       "takes given file file-twice 512"},
      {"export given", C::kExportKey, "FilePassword=y;PemKey",
       "takes asks file file-given file-twice 512"},
      {"takes no password", C::kViewCert, "CertReqFile=a", "0"},
      {"takes no password", C::kAdminSecurity, "", "0"},
      {"unknown keyword stops the parse", C::kGetEntries, "Bogus=1", "0"},
      {"bad Version", C::kGetEntries, "Version=3", "0"},
      {"ValidDays out of range", C::kSignCert, "ValidDays=10001", "0"},
  };
  for (const auto& test : kTests)
    EXPECT_EQ(Words(PlanPasswords(test.command, test.parameters)), test.plan) << test.why;
}

}  // namespace
}  // namespace kcertadm::cli
