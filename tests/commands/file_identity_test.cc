#include "commands/file_identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "command_test_util.h"
#include "host_interface/command_context.h"

namespace kcertadm {
namespace {

using cmdtest::TempDir;
using cmdtest::WriteFileText;

TEST(FileIdentity, ComparesByFileNotBySpelling) {
  TempDir dir;
  WriteFileText(dir / "a.kyr", "ring");
  WriteFileText(dir / "other", "x");
  ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0700), 0);
  ASSERT_EQ(::link((dir / "a.kyr").c_str(), (dir / "hard").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "a.kyr").c_str(), (dir / "soft").c_str()), 0);
  struct Case {
    const char* why;
    std::string a;
    std::string b;
    bool same;
  } const kTests[] = {
      {"same spelling", dir / "a.kyr", dir / "a.kyr", true},
      {"dot component", dir.path() + "/./a.kyr", dir / "a.kyr", true},
      {"parent component", dir.path() + "/sub/../a.kyr", dir / "a.kyr", true},
      {"hard link", dir / "hard", dir / "a.kyr", true},
      {"symbolic link", dir / "soft", dir / "a.kyr", true},
      {"different files", dir / "other", dir / "a.kyr", false},
      {"one exists, one does not", dir / "missing", dir / "a.kyr", false},
      {"neither exists, same name", dir.path() + "/sub/../new", dir / "new", true},
      {"neither exists, other names", dir / "new1", dir / "new2", false},
      {"empty name", "", dir / "a.kyr", false},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(SameFile(c.a, c.b), c.same);
  }
}

TEST(FileIdentity, RelativeNamesResolveAgainstTheWorkingDirectory) {
  TempDir dir;
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  EXPECT_TRUE(SameFile("./x.kyr", "x.kyr")) << "neither exists";
  WriteFileText("x.kyr", "ring");
  EXPECT_TRUE(SameFile("./x.kyr", dir / "x.kyr"));
  ASSERT_EQ(::chdir(previous), 0);
}

TEST(FileIdentity, KeyRingAndStashFileAreProtectedNames) {
  TempDir dir;
  SecurityCmdContext context;
  ResetCommandContext(context);
  const std::string keyFile = dir / "ring.kyr";
  context.keyFile = keyFile.c_str();
  EXPECT_TRUE(NamesKeyRingFile(context, (dir.path() + "/./ring.kyr").c_str()));
  EXPECT_TRUE(NamesKeyRingFile(context, (dir / "ring.sth").c_str()));
  EXPECT_FALSE(NamesKeyRingFile(context, (dir / "ring.arm").c_str()));
  EXPECT_FALSE(NamesKeyRingFile(context, nullptr));
}

}  // namespace
}  // namespace kcertadm
