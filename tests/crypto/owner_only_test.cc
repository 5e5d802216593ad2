#include "crypto/owner_only.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "support/test_files.h"

namespace kcertadm {
namespace {

TEST(OwnerOnly, FilesOpenedForWritingAreRestrictedBeforeWriting) {
  testing::TempDir dir;
  const std::string old_file = dir.Write("old.kyr", "old");
  ASSERT_EQ(chmod(old_file.c_str(), 0644), 0);
  const mode_t saved_umask = umask(0);
  for (const auto& [path, mode] : {std::pair{dir / "new.kyr", "wb"}, std::pair{old_file, "a+"}}) {
    SCOPED_TRACE(mode);
    std::FILE* file = OpenOwnerOnly(path.c_str(), mode);
    ASSERT_NE(file, nullptr);
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    std::fputs("er", file);
    std::fclose(file);
  }
  umask(saved_umask);
  EXPECT_EQ(testing::ReadFileText(old_file), "older");
  EXPECT_EQ(OpenOwnerOnly((dir / "missing").c_str(), "rb"), nullptr);
}

}  // namespace
}  // namespace kcertadm
