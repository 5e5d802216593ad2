#include "item_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace kcertadm::cli {
namespace {

// The library reads "5 days" as 5 and "abc" as 0; the tool refuses every number that is not plain
// digits, naming the item, and an item without keyword, which the library would take for
// CommonName.
TEST(ItemProblem, NumbersMustBePlainDecimalDigits) {
  const struct {
    const char* item;
    bool refused;
  } kTests[] = {
      {"ValidDays=abc", true},
      {"ValidDays=0x10", true},
      {"ValidDays=5 days", true},
      {"KeySize=1024x", true},
      {"=x", true},
      {"KeySize=", true},
      {"KeySize", true} /* bare: no number */,
      {"ValidD=30 ", true} /* abbreviated, blank after */,
      {"ValidDays=2147483648", true} /* beyond 32 bits */,
      {"ValidDays= 5", true},
      {"ValidDays=365", false},
      {"ValidDays=-1", false} /* the library's range check says 30005 */,
      {"keysize=2048", false},
      {"CommonName=5 days", false},
      {"Bogus=abc", false} /* the library's 30002 */,
  };
  for (const auto& c : kTests) {
    const std::optional<std::string> problem = ItemProblem(c.item);
    EXPECT_EQ(problem.has_value(), c.refused) << c.item;
    if (problem) {
      EXPECT_NE(problem->find(std::string("\"") + c.item + "\""), std::string::npos) << *problem;
    }
  }
}

// Which keywords a command reads: those of its help, with KeyName and EntryLabel as one, Version
// everywhere.
TEST(CommandReads, KeywordsOfTheCommandsHelp) {
  const struct {
    const char* command;
    const char* item;
    bool read;
  } kTests[] = {
      {"ExtractCert", "ShowPrivateKey", false},
      {"ExtractCert", "KeyName=web", true},
      {"CreateCertReq", "EntryLabel=web", true},
      {"ReceiveCert", "KeyName=ca", true},
      {"GetEntries", "Show", true} /* ShowPrivateKey */,
      {"GetEntries", "CertFile=x", false},
      {"ViewCert", "Password=x", false},
      {"ViewCert", "KeyFile=k", true},
      {"AdminSecurity", "Version=2", true},
      {"AdminSecurity", "KeyFile=k", false},
      {"CreateSelfSignedRoot", "NoTrust", true},
      {"CreateSelfSigned", "NoTrust", false},
      {"SignCert", "Bogus=1", true} /* unknown: the library refuses it */,
  };
  for (const auto& c : kTests) {
    const CommandHelp* help = FindCommandHelp(c.command);
    ASSERT_NE(help, nullptr) << c.command;
    EXPECT_EQ(CommandReads(*help, c.item), c.read) << c.command << " " << c.item;
  }
}

}  // namespace
}  // namespace kcertadm::cli
