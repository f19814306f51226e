// The host example end to end: arguments, summary, preview file.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "testing/run_program.h"

namespace {

using testing_support::RunProgram;
using testing_support::TempDir;

const std::string kPhoto = std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm";
const std::string kUsage =
    "usage: kelvane_convert [--key R,G,B] [--algorithm NAME] [--share R,G,B] [--near] [--data PREFIX]\n"
    "                       [--quality reference|refined] [--dither [STRENGTH]] [--quiet]\n"
    "                       INPUT.ppm|INPUT.png TYPE PREVIEW.ppm|PREVIEW.png\n"
    "       kelvane_convert --help\n"
    "TYPE: palette4, a5i3, palette16, a3i5, palette256, tex4x4, direct\n";

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
  EXPECT_EQ(usage.err, kUsage);
  const auto bad = RunProgram(KELVANE_CONVERT_PATH, {"bad.ppm", "palette4", "out.ppm"}, dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "kelvane_convert: cannot read bad.ppm: plain (P3) PPM is not supported, only binary PPM (P6)\n");
  EXPECT_FALSE(dir.Exists("out.ppm"));
}

TEST(KelvaneExample, HelpOnStandardOutputUsageOnError) {
  TempDir dir;
  const auto help = RunProgram(KELVANE_CONVERT_PATH, {"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.substr(0, kUsage.size()), kUsage);
  EXPECT_NE(help.out.find("\n  --quiet              no summary\n"), std::string::npos) << help.out;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"--bogus", "in.ppm", "direct", "p.ppm"}, {"in.ppm", "Direct", "p.ppm"},
        {"--key", "1,2,3"}, {"in.ppm", "direct"}, {"", "direct", "p.ppm"}}) {
    const auto usage = RunProgram(KELVANE_CONVERT_PATH, args, dir.path());
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.out, "");
    EXPECT_EQ(usage.err, kUsage);
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{});
}

TEST(KelvaneExample, RefinedQualityAndDithering) {
  TempDir dir;
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--quality", "refined"}, {"--quality", "refined", "--dither", "50"},
        {"--dither"}, {"--quality", "reference", "--dither", "100"}}) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {kPhoto, "palette16", "preview.ppm"});
    const auto result = RunProgram(KELVANE_CONVERT_PATH, args, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("type: palette16\npalette entries: 16\n"), std::string::npos) << result.out;
    const std::string preview = dir.Read("preview.ppm");
    std::set<std::string> colours;
    for (size_t i = std::string("P6\n64 64\n255\n").size(); i < preview.size(); i += 3)
      colours.insert(preview.substr(i, 3));
    EXPECT_LE(colours.size(), 16u);
    EXPECT_GT(colours.size(), 8u);
  }
  // A strength of 0 is no dithering; one above 100, or a quality not known, is
  // a usage error, and the strength is only taken with the three operands after it.
  const auto plain = RunProgram(KELVANE_CONVERT_PATH, {"--dither", "0", kPhoto, "palette16", "a.ppm"}, dir.path());
  const auto reference = RunProgram(KELVANE_CONVERT_PATH, {kPhoto, "palette16", "b.ppm"}, dir.path());
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(reference.status, 0) << reference.err;
  EXPECT_EQ(dir.Read("a.ppm"), dir.Read("b.ppm"));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--quality", "best", kPhoto, "palette16", "q.ppm"},
        {"--dither", "101", kPhoto, "palette16", "q.ppm"},
        {"--dither", "50", kPhoto, "palette16"}}) {
    const auto usage = RunProgram(KELVANE_CONVERT_PATH, args, dir.path());
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.err, kUsage);
  }
  EXPECT_FALSE(dir.Exists("q.ppm"));
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
  EXPECT_EQ(bad_key.err, kUsage);
  EXPECT_FALSE(dir.Exists("p.ppm"));
}

TEST(KelvaneExample, WritesDataBlocksAndGrowsToNearSize) {
  TempDir dir;
  // Two texels: the key colour and grey (100 -> 99 in 5 bits, word 0x318C).
  dir.Write("two.ppm", std::string("P6\n2 1\n255\n") + std::string("\x0A\x14\x1E\x64\x64\x64", 6));
  const auto result = RunProgram(
      KELVANE_CONVERT_PATH,
      {"--key", "10,20,30", "--near", "--data", "out", "two.ppm", "palette4", "preview.ppm"}, dir.path());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("data: 8x8, 16 texel bytes, 4 palette bytes, 0 palette index bytes\n"),
            std::string::npos)
      << result.out;
  // The grown columns repeat the grey texel (index 1) and the grown rows
  // repeat row 0, so each row is one word: entry 0 (transparent), then 1s.
  std::string texels;
  for (int row = 0; row < 8; ++row) texels += std::string("\x54\x55", 2);
  EXPECT_EQ(dir.Read("out.tex"), texels);
  EXPECT_EQ(dir.Read("out.pal"), std::string("\x41\x0C\x8C\x31", 4));
  EXPECT_FALSE(dir.Exists("out.pidx"));
  const std::string preview = dir.Read("preview.ppm");
  const std::string header = "P6\n8 8\n255\n";
  ASSERT_EQ(preview.size(), header.size() + 8 * 8 * 3);
  EXPECT_EQ(preview.substr(header.size(), 6), std::string("\xFF\x00\xFF\x63\x63\x63", 6));
  EXPECT_EQ(preview.substr(preview.size() - 3), std::string("\x63\x63\x63", 3));

  // Direct colour has no palette block; 4x4 settings are accepted by every type.
  const auto direct = RunProgram(
      KELVANE_CONVERT_PATH,
      {"--algorithm", "roundrobin-linear", "--share", "1,2,3", "--data", "d", "two.ppm", "direct", "p.ppm"},
      dir.path());
  ASSERT_EQ(direct.status, 0) << direct.err;
  EXPECT_EQ(dir.Read("d.tex"), std::string("\x41\x8C\x8C\xB1", 4));
  EXPECT_FALSE(dir.Exists("d.pal"));

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--algorithm", "best", "two.ppm", "tex4x4", "q.ppm"},
        {"--share", "1,2,256", "two.ppm", "tex4x4", "q.ppm"},
        {"--data", "two.ppm", "tex4x4", "q.ppm"}}) {
    const auto usage = RunProgram(KELVANE_CONVERT_PATH, args, dir.path());
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.err, kUsage);
  }
  // A side the console cannot take.
  dir.Write("wide.ppm", std::string("P6\n1025 1\n255\n") + std::string(1025 * 3, '\x10'));
  const auto wide = RunProgram(KELVANE_CONVERT_PATH, {"--near", "wide.ppm", "direct", "q.ppm"}, dir.path());
  EXPECT_EQ(wide.status, 1);
  EXPECT_EQ(wide.err, "kelvane_convert: wide.ppm is 1025x1: --near takes sides up to 1024\n");
  EXPECT_FALSE(dir.Exists("q.ppm"));
}

}  // namespace
