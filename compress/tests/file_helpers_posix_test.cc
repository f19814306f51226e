// The file helpers with what only POSIX systems have: symbolic links, modes
// and device files.
#include "file_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testing/run_program.h"

namespace {

TEST(FileHelpers, WriteFileKeepsWhatSurroundsAnExistingFile) {
  testing_support::TempDir dir;
  dir.Write("real.bin", std::string("previous"));
  ASSERT_EQ(chmod(dir.File("real.bin").c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.bin", dir.File("link.bin").c_str()), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(filehelp::WriteFile(dir.File("link.bin").c_str(), "new", 3), 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // The link still points at the file, which has the new bytes and its mode.
  struct stat st;
  ASSERT_EQ(lstat(dir.File("link.bin").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(dir.Read("real.bin"), "new");
  ASSERT_EQ(stat(dir.File("real.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A device is written, never replaced by a file.
  ASSERT_EQ(symlink("/dev/null", dir.File("null").c_str()), 0);
  EXPECT_EQ(filehelp::WriteFile(dir.File("null").c_str(), "new", 3), 3);
  ASSERT_EQ(lstat(dir.File("null").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"link.bin", "null", "real.bin"}));

  // A file that may not be written stays as it is (root may write anything).
  if (geteuid() != 0) {
    ASSERT_EQ(chmod(dir.File("real.bin").c_str(), 0444), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(filehelp::WriteFile(dir.File("real.bin").c_str(), "other", 5), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Cannot open file '" + dir.File("real.bin") + "'\n");
    EXPECT_EQ(dir.Read("real.bin"), "new");
  }
}

}  // namespace
