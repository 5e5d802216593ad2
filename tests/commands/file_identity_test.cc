#include "commands/file_identity.h"

#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

TEST(FileIdentity, ComparesByFileNotBySpelling) {
  TempDir dir;
  WriteFileText(dir / "a.kyr", "ring");
  WriteFileText(dir / "other", "x");
  std::filesystem::create_directory(dir / "sub");
  std::filesystem::create_hard_link(dir / "a.kyr", dir / "hard");
  std::filesystem::create_symlink(dir / "a.kyr", dir / "soft");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());  // relative names resolve against it
  struct Case {
    const char* why;
    std::string a, b;
    bool same;
  } const kTests[] = {
      {"same spelling", dir / "a.kyr", dir / "a.kyr", true},
      {"dot component", dir.path() + "/./a.kyr", dir / "a.kyr", true},
      {"parent component", dir.path() + "/sub/../a.kyr", dir / "a.kyr", true},
      {"relative name", "./a.kyr", dir / "a.kyr", true},
      {"hard link", dir / "hard", dir / "a.kyr", true},
      {"symbolic link", dir / "soft", dir / "a.kyr", true},
      {"different files", dir / "other", dir / "a.kyr", false},
      {"one exists, one does not", dir / "missing", dir / "a.kyr", false},
      {"neither exists, same name", dir.path() + "/sub/../new", dir / "new", true},
      {"neither exists, relative names", "./new", "new", true},
      {"neither exists, other names", dir / "new1", dir / "new2", false},
      {"empty name", "", dir / "a.kyr", false},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(SameFile(c.a, c.b), c.same);
  }
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace kcertadm
