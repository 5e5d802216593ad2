#include "password_plan.h"

#include <gtest/gtest.h>

namespace kcertadm::cli {
namespace {

using C = CommandId;

// The items are read by the library's parser, whose value rules the parser
// tests check. A command that fails anyway gets an empty plan: nothing is asked.
TEST(PasswordPlan, FollowsTheParser) {
  struct Case {
    const char* why;
    CommandId command;
    const char* parameters;
    bool takes, needs_password, has_password, creates, needs_new;
    int key_size;
  } const kTests[] = {
      {"nothing given", C::kGetEntries, "KeyFile=a.kyr;EntriesFile=b", true, true, false, false, false, 512},
      {"password given", C::kGetEntries, "Password=x;KeyFile=a.kyr", true, false, true, false, false, 512},
      {"empty password is a given one", C::kGetEntries, "Password=", true, false, true, false, false, 512},
      {"stash stands in", C::kDeleteEntry, "UseStash;EntryLabel=a", true, false, false, false, false, 512},
      {"create asks twice", C::kCreateKeyFile, "KeyName=a;CommonName=b", true, true, false, true, false, 512},
      {"root create", C::kCreateSelfSignedRoot, "KeySize=4096", true, true, false, true, false, 4096},
      {"new password missing", C::kChangePassword, "Password=x", true, false, true, false, true, 512},
      {"new password empty is given", C::kChangePassword, "NewPassword=", true, true, false, false, false, 512},
      {"takes no password", C::kViewCert, "CertReqFile=a", false, false, false, false, false, 0},
      {"takes no password", C::kAdminSecurity, "", false, false, false, false, false, 0},
      {"unknown keyword stops the parse", C::kGetEntries, "Bogus=1", false, false, false, false, false, 0},
      {"bad Version", C::kGetEntries, "Version=3", false, false, false, false, false, 0},
      {"ValidDays out of range", C::kSignCert, "ValidDays=10001", false, false, false, false, false, 0},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    const PasswordPlan plan = PlanPasswords(test.command, test.parameters);
    EXPECT_EQ(plan.takes_password, test.takes);
    EXPECT_EQ(plan.needs_password, test.needs_password);
    EXPECT_EQ(plan.has_password, test.has_password);
    EXPECT_EQ(plan.creates_key_ring, test.creates);
    EXPECT_EQ(plan.creates_key, test.creates);
    EXPECT_EQ(plan.needs_new_password, test.needs_new);
    if (test.takes) {
      EXPECT_EQ(plan.key_size, test.key_size);
    }
  }
}

}  // namespace
}  // namespace kcertadm::cli
