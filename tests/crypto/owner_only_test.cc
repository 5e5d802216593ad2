#include "crypto/owner_only.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "support/test_files.h"

namespace kcertadm {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

// Writes text through a stream opened owner-only; returns the mode the file
// had as soon as the stream existed.
mode_t WriteOwnerOnly(const std::string& path, const char* mode, const char* text) {
  std::FILE* file = OpenOwnerOnly(path.c_str(), mode);
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return 0;
  const mode_t at_open = ModeOf(path);
  std::fputs(text, file);
  std::fclose(file);
  return at_open;
}

class OwnerOnly : public ::testing::Test {
 protected:
  // A permissive umask must not widen the mode.
  void SetUp() override { saved_umask_ = umask(0); }
  void TearDown() override { umask(saved_umask_); }
  testing::TempDir dir_;
  mode_t saved_umask_ = 0;
};

TEST_F(OwnerOnly, CreatedAndExistingFilesAreRestrictedBeforeWriting) {
  for (const char* mode : {"wb", "w", "w+b", "ab", "a+"}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(WriteOwnerOnly(dir_.path() + "/new." + mode, mode, "x"), 0600u);
  }
  const std::string path = dir_.Write("old.kyr", "old secret");
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  EXPECT_EQ(WriteOwnerOnly(path, "wb", "new"), 0600u);
  ASSERT_EQ(chmod(path.c_str(), 0666), 0);
  EXPECT_EQ(WriteOwnerOnly(path, "ab", "er"), 0600u) << "appending keeps the contents";
  std::FILE* file = OpenOwnerOnly(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char text[16] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, file), 5u);
  EXPECT_STREQ(text, "newer");
  std::fclose(file);
}

TEST_F(OwnerOnly, ReadingLeavesTheModeAloneAndFailuresAreReported) {
  const std::string path = dir_.Write("data", "data");
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  std::FILE* file = OpenOwnerOnly(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(ModeOf(path), 0644u);

  EXPECT_EQ(OpenOwnerOnly((dir_.path() + "/missing").c_str(), "rb"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(OpenOwnerOnly(path.c_str(), "xb"), nullptr);  // not a mode
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(OpenOwnerOnly(nullptr, "wb"), nullptr);
  EXPECT_EQ(OpenOwnerOnly("/nonexistent-dir/key.kyr", "wb"), nullptr);
  EXPECT_EQ(RestrictFileToOwner("/nonexistent-dir/key.kyr"), 0);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(RestrictFileToOwner(path.c_str()), 1);
  EXPECT_EQ(ModeOf(path), 0600u);
}

}  // namespace
}  // namespace kcertadm
