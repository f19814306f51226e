#include "support/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/c_text.h"
#include "support/output_file.h"
#include "testing/run_program.h"

namespace {

TEST(Platform, SharedLibraryTellsWhyItCannotLoad) {
  support::SharedLibrary library;
  std::string why;
  EXPECT_FALSE(library.Load("libno-such-library.so", "../lib", &why));
  EXPECT_NE(why.find("libno-such-library.so"), std::string::npos) << why;
  EXPECT_EQ(library.Find("anything"), nullptr);
}

// Every spelling of a path and every link to a file name the same file;
// folders and devices are never "the same regular file".
TEST(Platform, OneFileIsTheSameUnderEveryName) {
  testing_support::TempDir dir;
  dir.Write("a.bin", "abc");
  dir.Write("b.bin", "abc");
  const std::string a = dir.File("a.bin");
  std::filesystem::create_hard_link(testing_support::PathOf(a), testing_support::PathOf(dir.File("hard")));
  std::filesystem::create_directory(testing_support::PathOf(dir.File("sub")));
  std::vector<std::string> names{a, dir.path() + "/sub/../a.bin", dir.File("hard")};
#ifdef _WIN32
  names.push_back(support::JoinPath(support::AbsolutePath(dir.path()), "a.bin"));
  names.push_back(dir.path() + "\\.\\a.bin");
  const char* const device = "NUL";
#else
  std::filesystem::create_symlink("a.bin", dir.File("soft"));
  names.push_back(dir.path() + "/./a.bin");
  names.push_back(dir.File("soft"));
  const char* const device = "/dev/null";
#endif
  for (const std::string& name : names) EXPECT_TRUE(support::IsSameRegularFile(a, name)) << name;
  EXPECT_FALSE(support::IsSameRegularFile(a, dir.File("b.bin")));
  EXPECT_FALSE(support::IsSameRegularFile(a, dir.File("missing")));
  EXPECT_FALSE(support::IsSameRegularFile(dir.File("sub"), dir.File("sub")));
  EXPECT_FALSE(support::IsSameRegularFile(device, device));
}

// A file with a second name is written in place, but only once the run
// commits: what is abandoned before leaves both names as they were.
TEST(OutputFile, AFileWrittenInPlaceChangesOnlyAtCommit) {
  testing_support::TempDir dir;
  dir.Write("linked", std::string("the old bytes"));
  std::filesystem::create_hard_link(dir.File("linked"), dir.File("second"));
  {
    support::OutputFile out;
    ASSERT_EQ(out.Open(dir.File("linked")), support::WriteStatus::kOk);
    EXPECT_FALSE(out.writes_through());
    ASSERT_TRUE(out.Write("new", 3));
    EXPECT_EQ(dir.Read("second"), "the old bytes");
    out.Abandon();
  }
  EXPECT_EQ(dir.Read("second"), "the old bytes");
  support::OutputFile out;
  ASSERT_EQ(out.Open(dir.File("linked")), support::WriteStatus::kOk);
  ASSERT_TRUE(out.Write("new", 3) && out.Write(" bytes", 6));
  EXPECT_EQ(out.Commit(), support::WriteStatus::kOk);
  EXPECT_EQ(dir.Read("second"), "new bytes");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"linked", "second"}));
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
