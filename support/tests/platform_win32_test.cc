#include "support/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/output_file.h"
#include "testing/run_program.h"

namespace {

using support::File;
using testing_support::PathOf;
using testing_support::TempDir;
namespace fs = std::filesystem;

TEST(PlatformWin32, PathHelpersKnowDrivesSharesAndBothSeparators) {
  const struct {
    const char* path;
    const char* folder;
  } folders[] = {
      {"a\\b\\c.bin", "a\\b"},          {"a/b\\c.bin", "a/b"},       {"c.bin", "."},
      {"\\c.bin", "\\"},                {"/c.bin", "/"},             {"C:\\c.bin", "C:\\"},
      {"C:c.bin", "C:"},                {"C:\\a\\b", "C:\\a"},       {"\\\\server\\share\\x.bin", "\\\\server\\share\\"},
      {"\\\\?\\C:\\d\\x.bin", "\\\\?\\C:\\d"}, {"\\\\?\\UNC\\srv\\share\\x", "\\\\?\\UNC\\srv\\share\\"},
  };
  for (const auto& c : folders) EXPECT_EQ(support::PathFolder(c.path), c.folder) << c.path;
  for (const char* path : {"C:\\x", "c:/x", "\\\\server\\share\\x", "\\\\?\\C:\\x"}) {
    EXPECT_TRUE(support::IsAbsolutePath(path)) << path;
  }
  for (const char* path : {"x", "\\x", "/x", "C:x", ""}) EXPECT_FALSE(support::IsAbsolutePath(path)) << path;
  EXPECT_EQ(support::JoinPath("a", "b"), "a/b");
  EXPECT_EQ(support::JoinPath("a/b", "c"), "a/b/c");
  EXPECT_EQ(support::JoinPath("a\\", "b"), "a\\b");
  EXPECT_EQ(support::JoinPath("C:", "b"), "C:b");
  EXPECT_EQ(support::AbsolutePath("x"), support::JoinPath(support::CurrentFolder(), "x"));
  EXPECT_TRUE(support::IsAbsolutePath(support::AbsolutePath("\\x")));
  EXPECT_TRUE(support::IsAbsolutePath(support::ProgramFolder())) << support::ProgramFolder();
}

// Files are binary: a 0x1A byte is data and a line end stays as it is, for
// the layer's own files and for the C library's streams alike.
TEST(PlatformWin32, FilesAreBinaryAndReadAndWrittenAtOffsets) {
  TempDir dir;
  const std::string bytes("0\r\n3\x1a" "56\n89", 10);
  dir.Write("a", bytes);
  File file;
  EXPECT_EQ(file.Open(dir.File("missing"), File::Mode::kReadRegular), File::OpenStatus::kCannotOpen);
  EXPECT_EQ(file.Open(dir.path(), File::Mode::kReadAny), File::OpenStatus::kIsDirectory);
  EXPECT_EQ(file.Open("NUL", File::Mode::kReadRegular), File::OpenStatus::kNotRegular);
  EXPECT_EQ(file.Open("NUL", File::Mode::kReadAny), File::OpenStatus::kOk);

  ASSERT_EQ(file.Open(dir.File("a"), File::Mode::kReadWriteRegular), File::OpenStatus::kOk);
  EXPECT_EQ(file.size(), 10u);
  EXPECT_TRUE(file.WriteAt(8, "x\ny", 3));
  char text[16] = {};
  EXPECT_EQ(file.ReadAt(3, text, sizeof text), 8);
  EXPECT_EQ(std::string(text, 8), std::string("3\x1a" "56\nx\ny", 8));
  EXPECT_EQ(file.Read(text, 4), 4);  // the position is untouched by ReadAt and WriteAt
  EXPECT_EQ(std::string(text, 4), "0\r\n3");
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(dir.Read("a"), std::string("0\r\n3\x1a" "56\nx\ny", 11));

  std::FILE* stream = std::fopen(dir.File("a").c_str(), "r");
  ASSERT_NE(stream, nullptr);
  char read_back[16] = {};
  EXPECT_EQ(std::fread(read_back, 1, sizeof read_back, stream), 11u);
  std::fclose(stream);
  EXPECT_EQ(std::string(read_back, 11), dir.Read("a"));
}

TEST(PlatformWin32, NamesOutsideAsciiReachTheSystemAsUtf8) {
  TempDir dir;
  const std::string name = dir.File("\xc3\xbf-\xe6\x96\x87.bin");  // ÿ-文.bin
  ASSERT_EQ(support::WriteOutputFile(name, "text", 4), support::WriteStatus::kOk);
  uint64_t size = 0;
  EXPECT_EQ(support::StatFile(name, nullptr, &size), support::FileKind::kRegular);
  EXPECT_EQ(size, 4u);
  EXPECT_TRUE(fs::exists(PathOf(name)));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"\xc3\xbf-\xe6\x96\x87.bin"});
}

TEST(PlatformWin32, LoadsLibrariesAndFindsTheirFunctions) {
  support::SharedLibrary library;
  std::string why;
  ASSERT_TRUE(library.Load("kernel32.dll", "", &why)) << why;
  EXPECT_NE(library.Find("GetTickCount"), nullptr);
  EXPECT_EQ(library.Find("NoSuchFunction"), nullptr);
  library.Release();
  EXPECT_FALSE(library.loaded());
}

}  // namespace
