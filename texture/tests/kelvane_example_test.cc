// The host example end to end: arguments, summary, preview file.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "testing/run_program.h"

namespace {

using testing_support::RunProgram;
using testing_support::TempDir;

const std::string kPhoto = std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm";

TEST(KelvaneExample, ConvertsPhotoAndWritesPreview) {
  TempDir dir;
  const auto result = RunProgram(KELVANE_CONVERT_PATH, {kPhoto, "palette16", "preview.ppm"}, dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("type: palette16\npalette entries: 16\n"), std::string::npos) << result.out;
  const std::string preview = dir.Read("preview.ppm");
  const std::string header = "P6\n64 64\n255\n";
  ASSERT_EQ(preview.size(), header.size() + 64 * 64 * 3);
  EXPECT_EQ(preview.substr(0, header.size()), header);
  std::set<std::string> colours;
  for (size_t i = header.size(); i < preview.size(); i += 3) colours.insert(preview.substr(i, 3));
  EXPECT_LE(colours.size(), 16u);
  EXPECT_GT(colours.size(), 8u);
}

TEST(KelvaneExample, RefusesBadArguments) {
  TempDir dir;
  dir.Write("bad.ppm", std::string("P3\n1 1\n255\n0 0 0\n"));
  const auto usage = RunProgram(KELVANE_CONVERT_PATH, {kPhoto, "palette17", "out.ppm"}, dir.path());
  EXPECT_EQ(usage.status, 1);
  EXPECT_EQ(usage.err, "usage: kelvane_convert [--key R,G,B] INPUT.ppm TYPE PREVIEW.ppm\n");
  const auto bad = RunProgram(KELVANE_CONVERT_PATH, {"bad.ppm", "palette4", "out.ppm"}, dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "kelvane_convert: cannot read binary PPM bad.ppm\n");
  EXPECT_FALSE(dir.Exists("out.ppm"));
}

TEST(KelvaneExample, KeyColourShowsMagentaInPreview) {
  TempDir dir;
  // Texel 0 has the key colour; texel 1 keeps its 5-bit colour (100 -> 99).
  dir.Write("two.ppm", std::string("P6\n2 1\n255\n") + std::string("\x0A\x14\x1E\x64\x64\x64", 6));
  const auto result =
      RunProgram(KELVANE_CONVERT_PATH, {"--key", "10,20,30", "two.ppm", "a3i5", "preview.ppm"}, dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("type: a3i5\npalette entries: 2\n"), std::string::npos) << result.out;
  EXPECT_EQ(dir.Read("preview.ppm"),
            std::string("P6\n2 1\n255\n") + std::string("\xFF\x00\xFF\x63\x63\x63", 6));

  const auto bad_key =
      RunProgram(KELVANE_CONVERT_PATH, {"--key", "10,20", "two.ppm", "a3i5", "p.ppm"}, dir.path());
  EXPECT_EQ(bad_key.status, 1);
  EXPECT_EQ(bad_key.err, "usage: kelvane_convert [--key R,G,B] INPUT.ppm TYPE PREVIEW.ppm\n");
  EXPECT_FALSE(dir.Exists("p.ppm"));
}

}  // namespace
