#include "support/file_io.h"

#include "support/output_file.h"
#include "support/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/run_program.h"

namespace {

using support::ReadStatus;
using support::WriteStatus;
using testing_support::TempDir;
namespace fs = std::filesystem;

WriteStatus Write(const std::string& path, const std::string& text) {
  return support::WriteOutputFile(path, text.data(), text.size());
}

TEST(FileIoWin32, ReadsRegularFilesAsTheyAreAndRefusesTheRest) {
  TempDir dir;
  const std::string bytes("a\r\nb\x1a\nc\0", 8);
  dir.Write("a", bytes);
  std::vector<uint8_t> data;
  EXPECT_EQ(support::ReadWholeFile(dir.File("a"), &data), ReadStatus::kOk);
  EXPECT_EQ(std::string(data.begin(), data.end()), bytes);
  EXPECT_EQ(support::ReadWholeFile(dir.File("missing"), &data), ReadStatus::kCannotOpen);
  EXPECT_EQ(support::ReadWholeFile(dir.path(), &data), ReadStatus::kNotRegular);
  EXPECT_EQ(support::ReadWholeFile("NUL", &data), ReadStatus::kNotRegular);
}

TEST(FileIoWin32, WritesAndReplacesFilesAsTheyAreWithNoLeftovers) {
  TempDir dir;
  const std::string bytes("x\ny\r\n\x1az", 7);
  EXPECT_EQ(Write(dir.File("out"), bytes), WriteStatus::kOk);
  EXPECT_EQ(dir.Read("out"), bytes);
  EXPECT_EQ(Write(dir.File("out"), "second"), WriteStatus::kOk);
  EXPECT_EQ(dir.Read("out"), "second");
  // With a drive letter and backslashes.
  const std::string backslashed = support::JoinPath(support::AbsolutePath(dir.path()), "out");
  ASSERT_NE(backslashed.find(":\\"), std::string::npos) << backslashed;
  EXPECT_EQ(Write(backslashed, "third"), WriteStatus::kOk);
  EXPECT_EQ(dir.Read("out"), "third");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out"});
}

TEST(FileIoWin32, RefusesReadOnlyFilesAndFolders) {
  TempDir dir;
  dir.Write("ro", std::string("old"));
  fs::permissions(dir.File("ro"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(Write(dir.File("ro"), "new"), WriteStatus::kCannotOpen);
  EXPECT_EQ(dir.Read("ro"), "old");
  dir.Write("folder/keep", std::string("x"));
  EXPECT_EQ(Write(dir.File("folder"), "data"), WriteStatus::kCannotOpen);
  EXPECT_EQ(Write(dir.File("no/such/dir/out"), "data"), WriteStatus::kCannotOpen);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"folder", "ro"}));
}

// NUL, under each of its names, is written through.
TEST(OutputFileWin32, WritesDevicesThrough) {
  for (const char* device : {"NUL", "nul", "\\\\.\\NUL"}) {
    support::OutputFile null;
    ASSERT_EQ(null.Open(device), WriteStatus::kOk) << device;
    EXPECT_TRUE(null.writes_through()) << device;
    EXPECT_TRUE(null.Write("x", 1));
    EXPECT_EQ(null.Commit(), WriteStatus::kOk);
  }
}

}  // namespace
