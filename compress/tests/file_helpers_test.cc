#include "file_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "testing/run_program.h"

namespace {

std::string Strip(const char* path) {
  std::vector<char> text(path, path + strlen(path) + 1);
  return filehelp::StripDirAndExt(text.data());
}

TEST(FileHelpers, StripDirAndExtKeepsTheBareName) {
  EXPECT_EQ(Strip("dir/sub/data.bin"), "data");
  EXPECT_EQ(Strip("a.b.c"), "a.b");
  EXPECT_EQ(Strip("plain"), "plain");
  EXPECT_EQ(Strip("dir.x/plain"), "plain");
  EXPECT_EQ(Strip("C:\\work\\game.srl"), "game");
  EXPECT_EQ(Strip("mixed/dir\\name.ext"), "name");
  EXPECT_EQ(filehelp::StripDirAndExt(nullptr), nullptr);
  char text[] = "x/y.z";
  EXPECT_EQ(filehelp::StripDirAndExt(text), text + 2);  // a pointer into the string
}

TEST(FileHelpers, ConcatStringsJoinsInOrder) {
  EXPECT_EQ(filehelp::ConcatStrings({"out", ".bin", "", "_BLZ"}), "out.bin_BLZ");
  EXPECT_EQ(filehelp::ConcatStrings({}), "");
}

TEST(FileHelpers, MoveBytesHandlesOverlapBothWays) {
  std::string up = "0123456789";
  filehelp::MoveBytes(up.data(), up.data() + 3, 6);
  EXPECT_EQ(up, "0120123459");
  std::string down = "0123456789";
  filehelp::MoveBytes(down.data() + 3, down.data(), 6);
  EXPECT_EQ(down, "3456786789");
}

TEST(FileHelpers, ChannelsWriteWhereTheyShould) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  filehelp::SetDebug(false);
  filehelp::DebugPrint("hidden %d\n", 1);
  filehelp::SetDebug(true);
  filehelp::DebugPrint("shown %d\n", 2);
  filehelp::SetDebug(false);
  filehelp::InfoPrint("info %s\n", "x");
  filehelp::ErrorPrint("bad %s\n", "y");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "info x\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "shown 2\nError: bad y\n");
}

TEST(FileHelpers, ReadFileReportsEachFailure) {
  testing_support::TempDir dir;
  dir.Write("data.bin", std::string("\x01\x02\x03", 3));
  std::vector<uint8_t> buffer = {9};
  testing::internal::CaptureStderr();
  EXPECT_EQ(filehelp::ReadFile(dir.File("data.bin").c_str(), &buffer), 3);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(filehelp::ReadFile(nullptr, &buffer), -1);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(filehelp::ReadFile(dir.path().c_str(), &buffer), -1);
  EXPECT_EQ(filehelp::ReadFile(dir.File("missing").c_str(), &buffer), -1);
  EXPECT_EQ(
      filehelp::ReadFile(dir.File("missing").c_str(), &buffer, filehelp::OpenFailureWording::kCannotRead),
      -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Not specified filename\n"
            "Error: Cannot open file '" +
                dir.path() + "'\n" + "Error: Cannot open file '" + dir.File("missing") + "'\n" +
                "Error: Cannot read file '" + dir.File("missing") + "'\n");
}

TEST(FileHelpers, WriteFileReplacesWholeOrNotAtAll) {
  testing_support::TempDir dir;
  dir.Write("old.bin", std::string("previous"));
  testing::internal::CaptureStderr();
  filehelp::SetDebug(true);
  EXPECT_EQ(filehelp::WriteFile(dir.File("old.bin").c_str(), "new", 3), 3);
  filehelp::SetDebug(false);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(std::regex_match(err, std::regex("(0x)?[0-9a-f]+        3 bytes  WriteFile '.*/old.bin'\n")))
      << err;
  EXPECT_EQ(dir.Read("old.bin"), "new");

  testing::internal::CaptureStderr();
  EXPECT_EQ(filehelp::WriteFile(dir.File("no/such/dir/x.bin").c_str(), "new", 3), -1);
  EXPECT_EQ(filehelp::WriteFile(dir.path().c_str(), "new", 3), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Cannot open file '" +
                                                        dir.File("no/such/dir/x.bin") +
                                                        "'\nError: Cannot open file '" + dir.path() + "'\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"old.bin"});  // no temporary file left
}

}  // namespace
