#include "password_plan.h"

#include <gtest/gtest.h>

namespace kcertadm::cli {
namespace {

using C = CommandId;

// The items are read by the library's parser, whose value rules the parser
// tests check.
TEST(PasswordPlan, FollowsTheParser) {
  struct Case {
    const char* why;
    CommandId command;
    const char* parameters;
    bool needs_password, has_password, creates, needs_new;
    int key_size;
  } const kTests[] = {
      {"nothing given", C::kGetEntries, "KeyFile=a.kyr;EntriesFile=b", true, false, false, false, 512},
      {"password given", C::kGetEntries, "Password=x;KeyFile=a.kyr", false, true, false, false, 512},
      {"empty password is a given one", C::kGetEntries, "Password=", false, true, false, false, 512},
      {"stash stands in", C::kDeleteEntry, "UseStash;EntryLabel=a", false, false, false, false, 512},
      {"create asks twice", C::kCreateKeyFile, "KeyName=a;CommonName=b", true, false, true, false, 512},
      {"root create", C::kCreateSelfSignedRoot, "KeySize=4096", true, false, true, false, 4096},
      {"new password missing", C::kChangePassword, "Password=x", false, true, false, true, 512},
      {"new password empty is given", C::kChangePassword, "NewPassword=", true, false, false, false, 512},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    const PasswordPlan plan = PlanPasswords(test.command, test.parameters);
    EXPECT_TRUE(plan.takes_password);
    EXPECT_EQ(plan.needs_password, test.needs_password);
    EXPECT_EQ(plan.has_password, test.has_password);
    EXPECT_EQ(plan.creates_key_ring, test.creates);
    EXPECT_EQ(plan.needs_new_password, test.needs_new);
    EXPECT_EQ(plan.key_size, test.key_size);
  }
}

TEST(PasswordPlan, AsksNothingWhenTheCommandFailsAnyway) {
  struct Case {
    const char* why;
    CommandId command;
    const char* parameters;
  } const kTests[] = {
      {"takes no password", C::kViewCert, "CertReqFile=a"},
      {"takes no password", C::kAdminSecurity, ""},
      {"unknown keyword stops the parse", C::kGetEntries, "Bogus=1"},
      {"bad Version", C::kGetEntries, "Version=3"},
      {"ValidDays out of range", C::kSignCert, "ValidDays=10001"},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.why);
    const PasswordPlan plan = PlanPasswords(test.command, test.parameters);
    EXPECT_FALSE(plan.takes_password);
    EXPECT_FALSE(plan.needs_password);
    EXPECT_FALSE(plan.needs_new_password);
    EXPECT_FALSE(plan.creates_key);
  }
}

}  // namespace
}  // namespace kcertadm::cli
