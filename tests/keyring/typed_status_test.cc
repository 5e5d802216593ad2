// The typed outcomes of the key ring, certificate verification and file
// replacement, and the numbers they stand for where they leave the library
// (a handler's status) or stored behaviour depends on them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "keyring/certificate_verification.h"
#include "keyring/file_replace.h"
#include "keyring/keyring_status.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

using test_support::ReadFileText;
using test_support::TempDir;
using test_support::WriteFileText;

// Handlers return these numbers to the host, so none may move.
TEST(KeyRingStatus, EveryMemberHasItsNumberBothWays) {
  const struct {
    KeyRingStatus status;
    int number;
  } kTests[] = {
      {KeyRingStatus::kOk, 0},
      {KeyRingStatus::kTruncated, 1},
      {KeyRingStatus::kCannotOpen, 2},
      {KeyRingStatus::kBadFormat, 3},
      {KeyRingStatus::kWrongPassword, 4},
      {KeyRingStatus::kNoMemory, 5},
      {KeyRingStatus::kShortWrite, 7},
      {KeyRingStatus::kNoEntry, 8},
      {KeyRingStatus::kNoMatchingEntry, 12},
      {KeyRingStatus::kSubjectInUse, 14},
  };
  for (const auto& t : kTests) {
    SCOPED_TRACE(t.number);
    EXPECT_EQ(KeyRingStatusNumber(t.status), t.number);
    EXPECT_TRUE(KeyRingStatusFromNumber(t.number) == t.status);
    EXPECT_EQ(Succeeded(t.status), t.number == 0);
  }
}

// A certificate that does not decode, or a toolkit failure while sealing a
// field, is the key ring's status as the lower layer gave it.
TEST(KeyRingStatus, LowerLayerNumbersPassThroughUnchanged) {
  for (int number : {VerifyStatusNumber(VerifyStatus::kBadEncoding), 512, 545, -1}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(KeyRingStatusNumber(KeyRingStatusFromNumber(number)), number);
    EXPECT_FALSE(Succeeded(KeyRingStatusFromNumber(number)));
  }
}

TEST(VerifyStatus, EveryMemberHasItsNumberAndOnlyTwoAreGood) {
  const struct {
    VerifyStatus status;
    int number;
    bool verified;
  } kTests[] = {
      {VerifyStatus::kTrusted, 0, true},        {VerifyStatus::kUntrusted, -14, false},
      {VerifyStatus::kBadEncoding, -15, false}, {VerifyStatus::kSelfSigned, -18, true},
      {VerifyStatus::kNoMemory, -20, false},    {VerifyStatus::kNotValidNow, -25, false},
  };
  for (const auto& t : kTests) {
    SCOPED_TRACE(t.number);
    EXPECT_EQ(VerifyStatusNumber(t.status), t.number);
    EXPECT_EQ(Verified(t.status), t.verified);
  }
}

// Each way a replacement can end, and what it leaves on disk.
TEST(ReplaceFile, TellsHowTheReplacementEndedAndKeepsTheOldFileOnFailure) {
  TempDir dir;
  const std::string file = dir.Path("file");
  const auto writeNew = [](FileWriter& out) { return out.Write("new", 3); };
  const auto giveUp = [](FileWriter& out) { return out.Write("half", 4) && false; };
  const struct {
    const char* why;
    std::string path;
    ReplaceFault fault;
    std::function<bool(FileWriter&)> fill;
    ReplaceStatus status;
    std::string contents;
  } kTests[] = {
      {"a complete file replaces the old one", file, ReplaceFault::kNone, writeNew,
       ReplaceStatus::kReplaced, "new"},
      {"a writer that gives up leaves the old file", file, ReplaceFault::kNone, giveUp,
       ReplaceStatus::kAbandoned, "old"},
      {"a failed sync leaves the old file", file, ReplaceFault::kSync, writeNew,
       ReplaceStatus::kCannotCommit, "old"},
      {"a failed rename leaves the old file", file, ReplaceFault::kRename, writeNew,
       ReplaceStatus::kCannotCommit, "old"},
      {"no directory, no temporary", dir.Path("missing/file"), ReplaceFault::kNone, writeNew,
       ReplaceStatus::kCannotCreate, ""},
  };
  for (const auto& t : kTests) {
    SCOPED_TRACE(t.why);
    WriteFileText(file, "old");
    SetReplaceFaultForTesting(t.fault);
    EXPECT_TRUE(ReplaceFile(t.path, t.fill) == t.status);
    SetReplaceFaultForTesting(ReplaceFault::kNone);
    if (!t.contents.empty()) {
      EXPECT_EQ(ReadFileText(file), t.contents);
    }
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"file"}) << "no temporary left behind";
  }
}

}  // namespace
}  // namespace kcertadm
