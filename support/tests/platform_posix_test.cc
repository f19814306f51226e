#include "support/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testing/run_program.h"

namespace {

using support::File;
using testing_support::TempDir;
namespace fs = std::filesystem;

TEST(Platform, OpensFilesByKindAndReadsAndWritesAtOffsets) {
  TempDir dir;
  dir.Write("a", "0123456789");
  fs::create_directory(dir.File("sub"));
  File file;
  EXPECT_EQ(file.Open(dir.File("missing"), File::Mode::kReadRegular), File::OpenStatus::kCannotOpen);
  EXPECT_EQ(file.Open(dir.File("sub"), File::Mode::kReadAny), File::OpenStatus::kIsDirectory);
  EXPECT_EQ(file.Open("/dev/null", File::Mode::kReadRegular), File::OpenStatus::kNotRegular);
  EXPECT_EQ(file.Open("/dev/null", File::Mode::kReadAny), File::OpenStatus::kOk);

  ASSERT_EQ(file.Open(dir.File("a"), File::Mode::kReadWriteRegular), File::OpenStatus::kOk);
  EXPECT_EQ(file.size(), 10u);
  EXPECT_TRUE(file.WriteAt(8, "xyz", 3));
  char text[16] = {};
  EXPECT_EQ(file.ReadAt(7, text, sizeof text), 4);
  EXPECT_STREQ(text, "7xyz");
  EXPECT_EQ(file.Read(text, 4), 4);  // the position is untouched by ReadAt
  EXPECT_EQ(std::string(text, 4), "0123");
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(dir.Read("a"), "01234567xyz");
}

TEST(Platform, PathHelpers) {
  EXPECT_EQ(support::PathFolder("a/b/c.bin"), "a/b");
  EXPECT_EQ(support::PathFolder("c.bin"), ".");
  EXPECT_EQ(support::PathFolder("/c.bin"), "/");
  EXPECT_EQ(support::JoinPath("a/", "b"), "a/b");
  EXPECT_EQ(support::JoinPath("a", "b"), "a/b");
  EXPECT_TRUE(support::IsAbsolutePath(support::AbsolutePath("x")));
  EXPECT_EQ(support::AbsolutePath("x"), support::JoinPath(support::CurrentFolder(), "x"));
  EXPECT_FALSE(support::ProgramFolder().empty());
}

}  // namespace
