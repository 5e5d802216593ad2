#include "crypto/owner_only.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "crypto/rsa_test_util.h"

namespace kcertadm {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

std::string Contents(const std::string& path) {
  const auto bytes = testing::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

class OwnerOnly : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::TempPath("owner_only.kyr");
    std::remove(path_.c_str());
    // A permissive umask must not widen the mode.
    saved_umask_ = umask(0);
  }
  void TearDown() override {
    umask(saved_umask_);
    std::remove(path_.c_str());
  }
  std::string path_;
  mode_t saved_umask_ = 0;
};

TEST_F(OwnerOnly, CreatedFilesAreOwnerOnly) {
  for (const char* mode : {"wb", "w", "w+b", "ab", "a+"}) {
    SCOPED_TRACE(mode);
    std::remove(path_.c_str());
    std::FILE* file = OpenOwnerOnly(path_.c_str(), mode);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ModeOf(path_), 0600u);
    std::fclose(file);
  }
}

TEST_F(OwnerOnly, ExistingFileIsRestrictedBeforeWriting) {
  testing::WriteFile(path_, std::string("old secret"));
  ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
  std::FILE* file = OpenOwnerOnly(path_.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  // Restricted and truncated as soon as the stream exists.
  EXPECT_EQ(ModeOf(path_), 0600u);
  EXPECT_EQ(Contents(path_), "");
  std::fputs("new", file);
  std::fclose(file);
  EXPECT_EQ(Contents(path_), "new");

  // Appending keeps the contents and restricts the mode as well.
  ASSERT_EQ(chmod(path_.c_str(), 0666), 0);
  file = OpenOwnerOnly(path_.c_str(), "ab");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ModeOf(path_), 0600u);
  std::fputs("er", file);
  std::fclose(file);
  EXPECT_EQ(Contents(path_), "newer");
}

TEST_F(OwnerOnly, ReadingLeavesTheModeAlone) {
  testing::WriteFile(path_, std::string("data"));
  ASSERT_EQ(chmod(path_.c_str(), 0644), 0);
  std::FILE* file = OpenOwnerOnly(path_.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(ModeOf(path_), 0644u);
}

TEST_F(OwnerOnly, FailuresAreReported) {
  EXPECT_EQ(OpenOwnerOnly(path_.c_str(), "rb"), nullptr);  // does not exist
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(OpenOwnerOnly(path_.c_str(), "xb"), nullptr);  // not a mode
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(OpenOwnerOnly(nullptr, "wb"), nullptr);
  EXPECT_EQ(OpenOwnerOnly("/nonexistent-dir/key.kyr", "wb"), nullptr);
  EXPECT_EQ(RestrictFileToOwner("/nonexistent-dir/key.kyr"), 0);

  testing::WriteFile(path_, std::string("x"));
  ASSERT_EQ(chmod(path_.c_str(), 0640), 0);
  EXPECT_EQ(RestrictFileToOwner(path_.c_str()), 1);
  EXPECT_EQ(ModeOf(path_), 0600u);
}

}  // namespace
}  // namespace kcertadm
