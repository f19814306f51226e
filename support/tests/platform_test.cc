#include "support/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/c_text.h"
#include "testing/run_program.h"

namespace {

using support::File;
using testing_support::TempDir;
namespace fs = std::filesystem;

TEST(Platform, OneFileIsTheSameUnderEveryName) {
  TempDir dir;
  dir.Write("a.bin", "abc");
  dir.Write("b.bin", "abc");
  const std::string a = dir.File("a.bin");
  fs::create_hard_link(a, dir.File("hard"));
  fs::create_symlink("a.bin", dir.File("soft"));
  fs::create_directory(dir.File("sub"));
  for (const std::string& name : {a, dir.path() + "/./a.bin", dir.path() + "/sub/../a.bin", dir.File("hard"),
                                  dir.File("soft")}) {
    EXPECT_TRUE(support::IsSameRegularFile(a, name)) << name;
  }
  EXPECT_FALSE(support::IsSameRegularFile(a, dir.File("b.bin")));
  EXPECT_FALSE(support::IsSameRegularFile(a, dir.File("missing")));
  EXPECT_FALSE(support::IsSameRegularFile(dir.File("sub"), dir.File("sub")));
  EXPECT_FALSE(support::IsSameRegularFile("/dev/null", "/dev/null"));
}

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

TEST(Platform, SharedLibraryTellsWhyItCannotLoad) {
  support::SharedLibrary library;
  std::string why;
  EXPECT_FALSE(library.Load("libno-such-library.so", "../lib", &why));
  EXPECT_NE(why.find("libno-such-library.so"), std::string::npos) << why;
  EXPECT_EQ(library.Find("anything"), nullptr);
}

// The two layouts the tools write, whole and in pieces of every split.
TEST(CText, LaysOutValuesWholeOrInPieces) {
  std::string text;
  support::CTextWriter writer([&](const char* data, size_t size) {
    text.append(data, size);
    return true;
  });
  const uint16_t words[] = {0x1234, 0xabcd, 0x0001};
  support::HexLayout tabbed{4, false, true, 2, "\t", "\n"};
  writer.AppendValues(words, 3, 0, tabbed);
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(text, "\t0x1234, 0xabcd, \n\t0x0001, ");

  const uint8_t bytes[] = {0x01, 0x02, 0xfe, 0xff, 0x10, 0x20, 0x30, 0x40, 0x50};
  const support::HexLayout upper{8, true, false, 1, "\n", ""};
  for (size_t split = 0; split <= 2; ++split) {
    text.clear();
    writer.AppendLittleEndian(bytes, split, 4, 0, upper);
    writer.AppendLittleEndian(bytes + 4 * split, 2 - split, 4, split, upper);
    ASSERT_TRUE(writer.Flush());
    EXPECT_EQ(text, "\n0xFFFE0201,\n0x40302010,") << split;
  }
}

TEST(CText, AFailedSinkStopsTheWriter) {
  int calls = 0;
  support::CTextWriter writer([&](const char*, size_t) {
    ++calls;
    return false;
  });
  writer.Append("x");
  EXPECT_FALSE(writer.Flush());
  writer.Append("y");
  EXPECT_FALSE(writer.Flush());
  EXPECT_TRUE(writer.failed());
  EXPECT_EQ(calls, 1);
}

}  // namespace
