#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ppm_reference.h"
#include "testing/golden.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using testing_support::ExpectGolden;
using testing_support::ReadFileOrEmpty;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

RunResult Tool(const char* path, const char* name, const TempDir& dir, const std::vector<std::string>& args) {
  testing_support::RunOptions options;
  options.argv0 = name;
  return RunProgram(path, args, dir.path(), options);
}
RunResult Huecast(const TempDir& dir, const std::vector<std::string>& args) {
  return Tool(HUECAST_PATH, "huecast", dir, args);
}
RunResult Huemap(const TempDir& dir, const std::vector<std::string>& args) {
  return Tool(HUEMAP_PATH, "huemap", dir, args);
}
RunResult Huetile(const TempDir& dir, const std::vector<std::string>& args) {
  return Tool(HUETILE_PATH, "huetile", dir, args);
}

// Runs `command` through the shell in `dir`, for redirections and limits.
RunResult Shell(const TempDir& dir, const std::string& command) {
  return RunProgram("/bin/sh", {"-c", command}, dir.path());
}

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

std::string Ppm(const Picture& p, const std::string& header = "") {
  std::string text = header.empty() ? "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n"
                                    : header;
  return text + std::string(p.rgb.begin(), p.rgb.end());
}

Picture FromColors(int width, int height, const std::vector<uint32_t>& colors) {
  Picture p{width, height, {}};
  for (uint32_t c : colors) {
    p.rgb.push_back(static_cast<uint8_t>(c >> 16));
    p.rgb.push_back(static_cast<uint8_t>(c >> 8));
    p.rgb.push_back(static_cast<uint8_t>(c));
  }
  return p;
}

Picture Photo(const char* name) {
  const std::string file = ReadFileOrEmpty(std::string(TEST_DATA_DIR "/") + name);
  const std::string header = "P6\n64 64\n255\n";
  EXPECT_EQ(file.substr(0, header.size()), header) << name;
  Picture p{64, 64, {}};
  p.rgb.assign(file.begin() + static_cast<long>(header.size()), file.end());
  EXPECT_EQ(p.rgb.size(), 64u * 64 * 3);
  return p;
}

// Keeps the top `bits` bits of each channel: at most 2^(3 bits) colours.
Picture Quantised(Picture p, int bits) {
  const uint8_t mask = static_cast<uint8_t>(0xFF00 >> bits);
  for (uint8_t& b : p.rgb) b &= mask;
  return p;
}

Picture RandomPicture(std::mt19937* rng, int width, int height, int colours) {
  std::vector<uint32_t> pool(static_cast<size_t>(colours));
  for (uint32_t& c : pool) c = (*rng)() & 0xFFFFFF;
  std::vector<uint32_t> colors(static_cast<size_t>(width * height));
  for (uint32_t& c : colors) c = pool[(*rng)() % pool.size()];
  return FromColors(width, height, colors);
}

// The i-th of 1024 colours that all pack differently.
uint32_t DistinctColor(int i) { return static_cast<uint32_t>((i % 32) * 8) << 16 | static_cast<uint32_t>((i / 32) * 8) << 8 | 0x40; }

std::string HexDump(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[4];
    snprintf(hex, sizeof hex, "%02x", static_cast<uint8_t>(bytes[i]));
    out += hex;
    out += (i % 16 == 15 || i + 1 == bytes.size()) ? "\n" : " ";
  }
  return out;
}

// Everything a run left: status, both streams, and the named output file.
std::string Transcript(const RunResult& r, const TempDir& dir, const std::string& output = "", bool binary = false) {
  std::string text = "status " + std::to_string(r.status) + "\n--- stderr\n" + r.err + "--- stdout\n" + r.out;
  if (!output.empty()) {
    text += "--- " + output + "\n";
    text += !dir.Exists(output) ? "(missing)\n" : binary ? HexDump(dir.Read(output)) : dir.Read(output);
  }
  return text;
}

// Compiles `source` in `dir`, where it may include the converters' outputs,
// as a game's build would, strictly.
void ExpectCompiles(const TempDir& dir, const std::string& source) {
  if (std::string(C_COMPILER).empty()) GTEST_SKIP() << "a cross-build runs no C compiler; a native build does";
  dir.Write("check.c", "#include <dravo.h>\n" + source);
  RunResult r = RunProgram(C_COMPILER, {"-std=c99", "-pedantic-errors", "-Wall", "-Werror", "-I", KIT_HEADER_DIR, "-c",
                                        "check.c", "-o", "check.o"},
                           dir.path());
  EXPECT_EQ(r.status, 0) << r.err << source;
}

// A path whose comment would end early, or open another, if written as it is.
const char kCommentPath[] = "art*/*tile.ppm";

// huetile's usage text, as it stands in its golden file.
const std::string kUsage = ReadFileOrEmpty(TEST_DATA_DIR "/huetile_usage.txt");

// Inputs every converter refuses, each with the reason it gives before the
// cannot-convert message.
std::vector<std::pair<std::string, std::string>> RefusedInputs() {
  const std::string pixels(48, '\x40');
  const std::string too_large = "the image is too large: at most 256 MiB of pixel data";
  return {
      {"plain (P3) PPM is not supported", "P3\n4 4\n255\n" + std::string(48, '1')},
      {"not a binary PPM image: it does not begin with \"P6\"", "P5\n4 4\n255\n" + pixels},
      {"maximum value 65535 is not supported: only 255", "P6\n4 4\n65535\n" + pixels + pixels},
      {"maximum value 15 is not supported: only 255", "P6\n4 4\n15\n" + pixels},
      {"the height is not a decimal number", "P6\n4 x4\n255\n" + pixels},
      {"width 0 is not supported: it must be at least 1", "P6\n0 4\n255\n"},
      {"height -4 is not supported: it must be at least 1", "P6\n4 -4\n255\n" + pixels},
      {too_large, "P6\n65536 65536\n255\n" + pixels},
      {too_large, "P6\n8192 10923\n255\n" + pixels},
      {"the header ends before the maximum value", "P6\n4 4\n"},
      {"no PPM header: the file ends before \"P6\"", ""},
  };
}

std::string Refusal(const std::string& reason, const std::string& path) {
  return "Error: " + reason + "\nCannot convert file \"" + path + "\".\n";
}

// ---------------------------------------------------------------- huecast

TEST(HuecastCli, Writes4x4ImageAsOneValueLine) {
  TempDir dir;
  Picture p = FromColors(4, 4, {0xFFFFFF, 0x000000, 0x080000, 0x000800, 0x000008, 0x070707, 0xF8F8F8, 0x102030,
                                0xFFFFFF, 0x000000, 0x080000, 0x000800, 0x000008, 0x070707, 0xF8F8F8, 0x102030});
  dir.Write("sub/img.ppm", Ppm(p, "P6\n# made by hand\n4\n#\n 4 255 rest of line\n"));
  RunResult r = Huecast(dir, {"sub/img.ppm"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "\t/* sub/img.ppm: WIDTH=4 HEIGHT=4 DEPTH=255 */\n"
            "\t0xffff,0x8000,0x8001,0x8020,0x8400,0x8000,0xffff,0x9882,"
            "0xffff,0x8000,0x8001,0x8020,0x8400,0x8000,0xffff,0x9882,\n");
}

TEST(HuecastCli, GeneratedCCompiles) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kAnyFileName)) GTEST_SKIP() << why;
  TempDir dir;
  std::mt19937 rng(5);
  dir.Write(kCommentPath, Ppm(RandomPicture(&rng, 5, 3, 9)));
  RunResult r = Huecast(dir, {kCommentPath});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 21), "\t/* art*\\/\\*tile.ppm:");
  dir.Write("colours.inc", r.out);
  ExpectCompiles(dir, "const unsigned short colours[] = {\n#include \"colours.inc\"\n};\n");
}

TEST(HuecastCli, MatchesTheReferenceOnPhotographsAndRandomImages) {
  TempDir dir;
  for (const char* name : {"photo-cat-64.ppm", "photo-astronaut-64.ppm"}) {
    RunResult r = Huecast(dir, {std::string(TEST_DATA_DIR "/") + name});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == ppm_reference::Huecast(std::string(TEST_DATA_DIR "/") + name, 64, 64, Photo(name).rgb))
        << name;
  }
  std::mt19937 rng(6);
  const int sizes[][2] = {{1, 1}, {1, 17}, {5, 3}, {16, 1}, {33, 7}, {300, 250}};
  for (const auto& s : sizes) {
    const Picture p = RandomPicture(&rng, s[0], s[1], 5000);
    dir.Write("r.ppm", Ppm(p) + "bytes after the pixels are ignored");
    RunResult r = Huecast(dir, {"r.ppm"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == ppm_reference::Huecast("r.ppm", s[0], s[1], p.rgb)) << s[0] << "x" << s[1];
  }
}

TEST(HuecastCli, UsageAndRefusedInputs) {
  TempDir dir;
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a.ppm", "b.ppm"}}) {
    RunResult r = Huecast(dir, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Usage: huecast [ppm file]\n");
  }
  auto refused = RefusedInputs();
  refused.push_back({"\"dir.ppm\" is a folder", ""});
  for (const auto& [what, bytes] : refused) {
    const std::string name = bytes.empty() && what[0] == '"' ? "dir.ppm" : "in.ppm";
    if (name == "dir.ppm") {
      dir.Write("dir.ppm/x", std::string("x"));
    } else {
      dir.Write(name, bytes);
    }
    RunResult r = Huecast(dir, {name});
    EXPECT_EQ(r.status, 1) << what;
    EXPECT_EQ(r.out, "") << what;
    EXPECT_EQ(r.err, Refusal(what, name)) << what;
  }
  RunResult r = Huecast(dir, {"missing.ppm"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, Refusal("cannot open \"missing.ppm\" for reading", "missing.ppm"));
  // Short pixel data: the comment line has gone out already.
  dir.Write("short.ppm", "P6\n2 2\n255\n" + std::string(11, '\xff'));
  r = Huecast(dir, {"short.ppm"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "\t/* short.ppm: WIDTH=2 HEIGHT=2 DEPTH=255 */\n");
  EXPECT_EQ(r.err, Refusal("image data ends after 11 of 12 bytes", "short.ppm"));
}

TEST(ConverterCli, FailedStandardOutputIsAFailure) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  TempDir dir;
  dir.Write("img.ppm", Ppm(FromColors(1, 1, {0x123456})));
  for (const std::string& tool : {std::string(HUECAST_PATH) + " img.ppm", std::string(HUEMAP_PATH) + " img.ppm lab"}) {
    RunResult r = Shell(dir, "exec " + tool + " >/dev/full");
    EXPECT_EQ(r.status, 1) << tool;
    EXPECT_EQ(r.err, "Cannot convert file \"img.ppm\".\n") << tool;
  }
}

// ---------------------------------------------------------------- huemap

TEST(HuemapCli, IndexesInFirstSeenOrder) {
  TempDir dir;
  // Colours that pack alike share an index; 0x0a0000 and 0x080000 do.
  Picture p = FromColors(5, 4, {0x336699, 0xFFFFFF, 0x336699, 0x0A0000, 0x080000, 0xFFFFFF, 0x000000, 0x000000,
                                0x336699, 0x123456, 0x123456, 0xFFFFFF, 0x0A0000, 0x00FF00, 0x000000, 0x336699,
                                0x00FF00, 0x00FF00, 0x000001, 0xFEFEFE});
  dir.Write("img.ppm", Ppm(p));
  RunResult r = Huemap(dir, {"img.ppm", "lab"});
  ExpectGolden(TEST_DATA_DIR "/huemap_first_seen.out", Transcript(r, dir));
  bool overflow = true;
  EXPECT_EQ(r.out, ppm_reference::Huemap("img.ppm", "lab", 5, 4, p.rgb, &overflow));
  EXPECT_FALSE(overflow);
}

TEST(HuemapCli, GeneratedCCompiles) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kAnyFileName)) GTEST_SKIP() << why;
  TempDir dir;
  dir.Write(kCommentPath, Ppm(Quantised(Photo("photo-cat-64.ppm"), 2)));
  RunResult r = Huemap(dir, {kCommentPath, "cat_64"});
  EXPECT_EQ(r.status, 0);
  dir.Write("cat.c", r.out);
  ExpectCompiles(dir, "#include \"cat.c\"\n");
}

TEST(HuemapCli, StopsAtThe257thColourKeepingWhatWasWritten) {
  TempDir dir;
  std::vector<uint32_t> colors;
  for (uint32_t i = 0; i < 300; ++i) colors.push_back(i % 16 == 5 ? 0 : DistinctColor(static_cast<int>(i)));
  Picture p = FromColors(20, 15, colors);
  dir.Write("many.ppm", Ppm(p));
  RunResult r = Huemap(dir, {"many.ppm", "many"});
  ExpectGolden(TEST_DATA_DIR "/huemap_257_colours.out", Transcript(r, dir));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "huemap: Error too many colors (over 256)\n");
  bool overflow = false;
  EXPECT_EQ(r.out, ppm_reference::Huemap("many.ppm", "many", 20, 15, p.rgb, &overflow));
  EXPECT_TRUE(overflow);
}

TEST(HuemapCli, MatchesTheReferenceOnPhotographsAndRandomImages) {
  TempDir dir;
  std::vector<std::pair<std::string, Picture>> cases;
  for (const char* name : {"photo-cat-64.ppm", "photo-astronaut-64.ppm"}) {
    cases.push_back({name, Photo(name)});  // thousands of colours: stops early
    cases.push_back({std::string("q-") + name, Quantised(Photo(name), 2)});
  }
  std::mt19937 rng(7);
  cases.push_back({"r1.ppm", RandomPicture(&rng, 1, 1, 1)});
  cases.push_back({"r2.ppm", RandomPicture(&rng, 17, 3, 256)});
  cases.push_back({"r3.ppm", RandomPicture(&rng, 256, 130, 250)});
  cases.push_back({"r4.ppm", RandomPicture(&rng, 99, 99, 400)});
  for (const auto& [name, p] : cases) {
    dir.Write(name, Ppm(p));
    RunResult r = Huemap(dir, {name, "img"});
    bool overflow = false;
    EXPECT_TRUE(r.out == ppm_reference::Huemap(name, "img", p.width, p.height, p.rgb, &overflow)) << name;
    EXPECT_EQ(r.status, overflow ? 1 : 0) << name;
  }
}

TEST(HuemapCli, UsageAndRefusedInputs) {
  TempDir dir;
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a.ppm"}, {"a.ppm", "l", "x"}}) {
    RunResult r = Huemap(dir, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Usage: huemap [256color ppm file] [label_name]\n");
  }
  auto refused = RefusedInputs();
  refused.push_back({"image data ends after 11 of 12 bytes", "P6\n2 2\n255\n" + std::string(11, '\xff')});
  for (const auto& [what, bytes] : refused) {
    dir.Write("in.ppm", bytes);
    RunResult r = Huemap(dir, {"in.ppm", "lab"});
    EXPECT_EQ(r.status, 1) << what;
    EXPECT_EQ(r.out, "") << what;
    EXPECT_EQ(r.err, Refusal(what, "in.ppm")) << what;
  }
}

// ---------------------------------------------------------------- huetile

// 16 x 8, three colours: a left tile of 0x000000 with a diagonal of
// 0xffffff, a right tile of stripes of 0xff0000 and 0x000000.
Picture TwoTiles() {
  std::vector<uint32_t> colors;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 16; ++x) {
      colors.push_back(x < 8 ? (x == y ? 0xFFFFFF : 0) : (x % 2 ? 0xFF0000 : 0));
    }
  }
  return FromColors(16, 8, colors);
}

TEST(HuetileCli, WritesTheTwoTileExampleInBothModesAndForms) {
  const struct {
    const char* golden;
    std::vector<std::string> args;
    bool binary;
  } cases[] = {
      {"huetile_8bit.c", {"-a", "two", "img.ppm", "out"}, false},
      {"huetile_4bit.c", {"-c", "4", "-a", "two", "img.ppm", "out"}, false},
      {"huetile_8bit.bin", {"img.ppm", "out"}, true},
      {"huetile_4bit.bin", {"img.ppm", "-c4", "out"}, true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("img.ppm", Ppm(TwoTiles()));
    RunResult r = Huetile(dir, c.args);
    ExpectGolden(std::string(TEST_DATA_DIR "/") + c.golden + ".out", Transcript(r, dir, "out", c.binary));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"img.ppm", "out"}));
  }
}

// Every form of C source: both bit depths, both parts, each part alone.
TEST(HuetileCli, GeneratedCCompiles) {
  TempDir dir;
  dir.Write("img.ppm", Ppm(TwoTiles()));
  std::string source;
  for (const auto& options : std::vector<std::vector<std::string>>{
           {"-a", "both8"}, {"-c", "4", "-a", "both4"}, {"-p", "-a", "palette"}, {"-i", "-c", "4", "-a", "texel"}}) {
    const std::string output = options.back() + ".c";
    std::vector<std::string> args = options;
    args.insert(args.end(), {"img.ppm", output});
    EXPECT_EQ(Huetile(dir, args).status, 0) << output;
    source += "#include \"" + output + "\"\n";
  }
  ExpectCompiles(dir, source);
}

TEST(ConverterCli, RefusesLabelsThatMakeNoCIdentifiers) {
  const struct {
    bool huemap;
    std::string label;
    std::string why;
  } cases[] = {
      {true, "my-lab", "not a C identifier"},  {true, "2d", "not a C identifier"},
      {true, "", "not a C identifier"},        {true, "int", "a C keyword"},
      {false, "my lab", "not a C identifier"}, {false, "_Bool", "a C keyword"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("img.ppm", Ppm(TwoTiles()));
    RunResult r = c.huemap ? Huemap(dir, {"img.ppm", c.label}) : Huetile(dir, {"-a", c.label, "img.ppm", "out"});
    EXPECT_EQ(r.status, 1) << c.label;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error: label \"" + c.label + "\" is " + c.why + "\nCannot convert file \"img.ppm\".\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"img.ppm"});
  }
}

TEST(HuetileCli, OptionsChooseFormAndParts) {
  const Picture p = Quantised(Photo("photo-cat-64.ppm"), 2);
  struct Case {
    std::vector<std::string> options;
    std::string label;
    int capacity;
    int parts;
  };
  const std::vector<Case> cases = {
      {{"-a", "lab", "-b"}, "", 256, 3},     {{"-b", "-a", "lab"}, "lab", 256, 3},
      {{"-a", "x", "-a", "y"}, "y", 256, 3}, {{"-p", "-i", "-p"}, "", 256, 1},
      {{"-p"}, "", 256, 1},                  {{"-i"}, "", 256, 2},
      {{"-i", "-p"}, "", 256, 3},            {{"-c", "4", "-c", "8", "-i", "-aq"}, "q", 256, 2},
      {{"-c", "8", "-p", "-a", "cat"}, "cat", 256, 1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("cat.ppm", Ppm(p));
    std::vector<std::string> args = c.options;
    args.push_back("cat.ppm");
    args.push_back("out");
    RunResult r = Huetile(dir, args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(dir.Read("out") == ppm_reference::Huetile(c.label, c.capacity, c.parts, 64, 64, p.rgb))
        << ::testing::PrintToString(c.options);
  }
}

TEST(HuetileCli, MatchesTheReferenceOnPhotographsAndRandomImages) {
  std::mt19937 rng(8);
  std::vector<std::pair<Picture, int>> cases;
  cases.push_back({Quantised(Photo("photo-astronaut-64.ppm"), 2), 256});
  cases.push_back({Quantised(Photo("photo-astronaut-64.ppm"), 1), 16});
  cases.push_back({RandomPicture(&rng, 8, 8, 1), 16});
  cases.push_back({RandomPicture(&rng, 8, 256, 16), 16});
  cases.push_back({RandomPicture(&rng, 136, 24, 255), 256});
  for (const auto& [p, capacity] : cases) {
    for (const char* label : {"", "pic"}) {
      TempDir dir;
      dir.Write("pic.ppm", Ppm(p));
      std::vector<std::string> args = {"-c", capacity == 16 ? "4" : "8", "pic.ppm", "out"};
      if (*label) args.insert(args.begin(), {"-a", label});
      RunResult r = Huetile(dir, args);
      EXPECT_EQ(r.status, 0);
      EXPECT_TRUE(dir.Read("out") == ppm_reference::Huetile(label, capacity, 3, p.width, p.height, p.rgb))
          << p.width << "x" << p.height << " " << label;
    }
  }
}

TEST(HuetileCli, TooManyColoursWritesNothing) {
  for (int capacity : {16, 256}) {
    TempDir dir;
    std::vector<uint32_t> colors(64 * 8, 0);
    for (int i = 0; i <= capacity; ++i) colors[static_cast<size_t>(i)] = DistinctColor(i + 1);
    dir.Write("img.ppm", Ppm(FromColors(64, 8, colors)));
    dir.Write("old", std::string("old contents"));
    RunResult r = Huetile(dir, {"-c", capacity == 16 ? "4" : "8", "img.ppm", "new"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "huetile: Error too many colors (over " + std::to_string(capacity) +
                         ")\nCannot convert file \"img.ppm\".\n");
    r = Huetile(dir, {"-c", capacity == 16 ? "4" : "8", "-a", "l", "img.ppm", "old"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"img.ppm", "old"}));
    EXPECT_EQ(dir.Read("old"), "old contents");
  }
}

TEST(HuetileCli, RefusesSidesThatAreNotMultiplesOf8) {
  for (const auto& size : std::vector<std::pair<int, int>>{{12, 8}, {8, 12}, {4, 4}, {7, 16}}) {
    TempDir dir;
    dir.Write("img.ppm", Ppm(FromColors(size.first, size.second,
                                        std::vector<uint32_t>(static_cast<size_t>(size.first * size.second), 5))));
    dir.Write("out", std::string("kept"));
    RunResult r = Huetile(dir, {"img.ppm", "out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: width and height must be multiples of 8\nCannot convert file \"img.ppm\".\n");
    EXPECT_EQ(dir.Read("out"), "kept");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"img.ppm", "out"}));
  }
}

TEST(HuetileCli, RefusedInputsAndOutputs) {
  auto refused = RefusedInputs();
  refused.push_back({"image data ends after 191 of 192 bytes", "P6\n8 8\n255\n" + std::string(191, '\xff')});
  for (const auto& [what, bytes] : refused) {
    TempDir dir;
    dir.Write("in.ppm", bytes);
    RunResult r = Huetile(dir, {"-a", "l", "in.ppm", "out.c"});
    EXPECT_EQ(r.status, 1) << what;
    EXPECT_EQ(r.err, Refusal(what, "in.ppm")) << what;
    EXPECT_FALSE(dir.Exists("out.c")) << what;
  }
  // A folder, /dev/full and a full disk are among the fault rows below.
  TempDir dir;
  dir.Write("img.ppm", Ppm(TwoTiles()));
  RunResult r = Huetile(dir, {"-a", "l", "img.ppm", "no/such/dir/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: cannot open \"no/such/dir/out\" for writing\nCannot convert file \"img.ppm\".\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"img.ppm"}));
}

TEST(HuetileCli, UsageTexts) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"-h"}, kUsage},
      {{"-a", "x", "-v", "a", "b"}, kUsage},
      {{"-c", "6", "a", "b"}, std::string("Error: -c : must be followed by 8 or 4\n\n") + kUsage},
      {{"-c", "44", "a", "b"}, std::string("Error: -c : must be followed by 8 or 4\n\n") + kUsage},
      {{"-x", "a", "b"}, std::string("huetile: invalid option -- 'x'\nError: -? : Unknown option\n\n") + kUsage},
      {{"a", "b", "-a"},
       std::string("huetile: option requires an argument -- 'a'\nError: -? : Unknown option\n\n") + kUsage},
      {{}, std::string("Error: need 2 arguments\n\n") + kUsage},
      {{"a"}, std::string("Error: need 2 arguments\n\n") + kUsage},
      {{"a", "b", "c"}, std::string("Error: need 2 arguments\n\n") + kUsage},
      {{"-b", "-d", "-c", "4", "a", "-i"},
       std::string("option -d: No ARG\noption -c: 4\noption -i: No ARG\nargc=7  optind=6\nargv[6] = [a]\n"
                   "Error: need 2 arguments\n\n") +
           kUsage},
  };
  for (const auto& c : cases) {
    TempDir dir;
    RunResult r = Huetile(dir, c.args);
    EXPECT_EQ(r.status, 1) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err) << ::testing::PrintToString(c.args);
    EXPECT_TRUE(dir.List().empty());
  }
}

TEST(HuetileCli, DebugLinesThenConversion) {
  TempDir dir;
  dir.Write("img.ppm", Ppm(TwoTiles()));
  RunResult r = Huetile(dir, {"img.ppm", "-d", "-a", "lab", "out.c"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "option -d: No ARG\noption -a: lab\nargc=6  optind=4\nargv[4] = [img.ppm]\nargv[5] = [out.c]\n");
  EXPECT_TRUE(dir.Read("out.c") == ppm_reference::Huetile("lab", 256, 3, 16, 8, TwoTiles().rgb));
}

// ---------------------------------------------------------------- fault rows

using testing_support::Fault;
using testing_support::FaultTool;
using testing_support::Outcome;

// The input of the fault rows, cut short inside its header (after the width)
// and inside its pixel data.
const char kFaultInput[] = "in.ppm";
std::vector<std::pair<std::string, std::string>> Cuts(const std::string& ppm) {
  return {{"cut in the header", ppm.substr(0, 5)}, {"cut in the pixels", ppm.substr(0, 12 + 200)}};
}

std::string CannotConvertInput() { return std::string("Cannot convert file \"") + kFaultInput + "\".\n"; }

// What each converter says when its input is missing, a folder, a pipe or
// cut short (`truncated`).
std::string InputFault(Fault fault, const std::string& truncated) {
  switch (fault) {
    case Fault::kInputMissing:
      return Refusal("cannot open \"in.ppm\" for reading", kFaultInput);
    case Fault::kInputIsFolder:
      return Refusal("\"in.ppm\" is a folder", kFaultInput);
    case Fault::kInputIsFifo:
      return Refusal("\"in.ppm\" is not a regular file", kFaultInput);
    default:
      return Refusal(truncated.size() > 12 ? "image data ends after 200 of 384 bytes"
                                           : "the header ends before the height",
                     kFaultInput);
  }
}

// Runs the rows once for each cut (`tool->truncated` tells `outcome` which).
void ExpectFaultRowsForEachCut(FaultTool* tool) {
  tool->strict_rows = true;
  for (const auto& [what, bytes] : Cuts(tool->inputs[0].second)) {
    SCOPED_TRACE(what);
    tool->truncated = bytes;
    testing_support::ExpectFaultRows(*tool);
  }
}

// huecast and huemap write standard output only, so no output can be an
// input; huecast's comment line goes out before the pixel data proves short.
void ExpectStdoutConverterRows(const char* program, const std::vector<std::string>& args, bool comment_first) {
  FaultTool tool;
  tool.program = program;
  tool.inputs = {{kFaultInput, Ppm(TwoTiles())}};
  tool.args = [&args](const std::string&) { return args; };
  tool.writes_output = false;
  tool.input = kFaultInput;
  tool.outcome = [&](Fault fault, const std::string&) -> Outcome {
    if (fault == Fault::kStdoutFull) return {1, "", CannotConvertInput()};
    const bool comment = comment_first && fault == Fault::kInputTruncated && tool.truncated.size() > 12;
    return {1, comment ? "\t/* in.ppm: WIDTH=16 HEIGHT=8 DEPTH=255 */\n" : "", InputFault(fault, tool.truncated)};
  };
  ExpectFaultRowsForEachCut(&tool);
}

TEST(HuecastCli, FaultRows) { ExpectStdoutConverterRows(HUECAST_PATH, {kFaultInput}, true); }

TEST(HuemapCli, FaultRows) { ExpectStdoutConverterRows(HUEMAP_PATH, {kFaultInput, "lab"}, false); }

TEST(HuetileCli, FaultRows) {
  const Picture p = TwoTiles();
  FaultTool tool;
  tool.program = HUETILE_PATH;
  tool.inputs = {{kFaultInput, Ppm(p)}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"-a", "lab", kFaultInput, output}; };
  tool.expected = ppm_reference::Huetile("lab", 256, 3, p.width, p.height, p.rgb);
  tool.input = kFaultInput;
  tool.outcome = [&](Fault fault, const std::string& path) -> Outcome {
    switch (fault) {
      case Fault::kFullDevice:
        return {1, "", "Error: cannot write \"" + path + "\": No space left on device\n" + CannotConvertInput()};
      case Fault::kDiskFull:
        return {1, "", "Error: cannot write \"" + path + "\": File too large\n" + CannotConvertInput()};
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return {1, "", "Error: cannot open \"" + path + "\" for writing\n" + CannotConvertInput()};
      case Fault::kStdoutFull:  // huetile writes nothing there
        return {0, "", ""};
      default:  // missing, a folder, a pipe, cut short
        return {1, "", InputFault(fault, tool.truncated)};
    }
  };
  tool.same_file_outcome = [](const std::string& output, const std::string& input) -> Outcome {
    return {1, "", "Error: output file \"" + output + "\" is the input file \"" + input + "\"\n" + CannotConvertInput()};
  };
  ExpectFaultRowsForEachCut(&tool);
}

}  // namespace
