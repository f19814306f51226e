// kelvane_convert as an installed program: the sides a type cannot take,
// images from ordinary tools, outputs that must not be written, failed
// runs that leave nothing new, and outputs that depend on nothing but the
// input and the arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

// A w x h binary PPM of a few colours in stripes.
std::string Stripes(unsigned int w, unsigned int h) {
  std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (unsigned int y = 0; y < h; ++y) {
    for (unsigned int x = 0; x < w; ++x) {
      const unsigned int k = (x + 2 * y) % 5;
      ppm += std::string{static_cast<char>(40 * k), static_cast<char>(255 - 50 * k), static_cast<char>(30 + 9 * k)};
    }
  }
  return ppm;
}

RunResult Convert(const TempDir& dir, const std::vector<std::string>& args) {
  return RunProgram(KELVANE_CONVERT_PATH, args, dir.path());
}

TEST(KelvaneConvertCli, SaysWhichSidesATypeCannotTake) {
  TempDir dir;
  dir.Write("six.ppm", Stripes(6, 8));
  dir.Write("wide.ppm", Stripes(1025, 1));
  RunResult r = Convert(dir, {"--data", "d", "six.ppm", "tex4x4", "p.ppm"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kelvane_convert: six.ppm is 6x8: tex4x4 needs sides that are multiples of 4\n");
  r = Convert(dir, {"--near", "wide.ppm", "direct", "p.ppm"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kelvane_convert: wide.ppm is 1025x1: --near takes sides up to 1024\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"six.ppm", "wide.ppm"}));
  // Without --near any side goes, and --near grows 6x8 to 8x8.
  EXPECT_EQ(Convert(dir, {"--quiet", "wide.ppm", "direct", "p.ppm"}).status, 0);
  r = Convert(dir, {"--near", "six.ppm", "palette4", "p.ppm"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\ndata: 8x8, 16 texel bytes, 8 palette bytes, 0 palette index bytes\n"), std::string::npos)
      << r.out;
}

TEST(KelvaneConvertCli, ReadsImagesOfOrdinaryTools) {
  TempDir dir;
  // A header with CR LF line ends and one colour: one palette entry.
  dir.Write("crlf.ppm", "P6\r\n8 8\r\n255\r\n" + std::string(8 * 8 * 3, '\x40'));
  RunResult r = Convert(dir, {"crlf.ppm", "palette16", "crlf-preview.ppm"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\npalette entries: 1\n"), std::string::npos) << r.out;
  EXPECT_EQ(dir.Read("crlf-preview.ppm"), "P6\n8 8\n255\n" + std::string(8 * 8 * 3, '\x42'));

  // 16-bit samples, the more significant byte first, give what 8 bits give.
  const std::string eight = Stripes(8, 4);
  const size_t header = std::string("P6\n8 4\n255\n").size();
  std::string sixteen = "P6\n8 4\n65535\n";
  for (size_t i = header; i < eight.size(); ++i) sixteen += std::string(2, eight[i]);  // v * 257
  dir.Write("eight.ppm", eight);
  dir.Write("sixteen.ppm", sixteen);
  ASSERT_EQ(Convert(dir, {"--quiet", "--data", "a", "eight.ppm", "palette4", "a.ppm"}).status, 0);
  r = Convert(dir, {"--quiet", "--data", "b", "sixteen.ppm", "palette4", "b.ppm"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.Read("a.tex"), dir.Read("b.tex"));
  EXPECT_EQ(dir.Read("a.pal"), dir.Read("b.pal"));
}

TEST(KelvaneConvertCli, RefusesAnOutputThatIsAnInputOrAnotherOutput) {
  TempDir dir;
  const std::string image = Stripes(8, 8);
  dir.Write("art.tex", image);  // an image, whatever its name says
  dir.Write("d.tex", "old\n");
  const std::string absolute = dir.File("art");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } kCases[] = {
      {{"--data", "art", "art.tex", "palette4", "p.ppm"}, "cannot write art.tex: it is the input art.tex"},
      {{"--data", absolute, "./art.tex", "tex4x4", "d.pidx"},
       "cannot write " + absolute + ".tex: it is the input ./art.tex"},
      {{"--data", "d", "art.tex", "direct", "d.tex"}, "cannot write d.tex: it is also the output d.tex"},
      {{"--data", "d", "art.tex", "direct", dir.File("d.tex")},
       "cannot write " + dir.File("d.tex") + ": it is also the output d.tex"},
  };
  for (const auto& c : kCases) {
    const RunResult r = Convert(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kelvane_convert: " + c.err + "\n");
  }
  // One output cannot be written: none of the others appears either.
  dir.Write("e.pal/keep", "kept\n");
  const RunResult r = Convert(dir, {"--data", "e", "art.tex", "palette16", "q.ppm"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kelvane_convert: cannot write e.pal\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"art.tex", "d.tex", "e.pal"}));
  EXPECT_EQ(dir.Read("art.tex"), image);
  EXPECT_EQ(dir.Read("d.tex"), "old\n");
}

// The same input and arguments give the same bytes in another folder at
// another time, with the summary's numbers; the paths are the user's own.
TEST(KelvaneConvertCli, OutputsDependOnlyOnInputAndArguments) {
  const std::string image = Stripes(28, 20);
  const std::vector<std::string> outputs = {"t.tex", "t.pal", "t.pidx", "t.ppm"};
  std::vector<std::string> first;
  std::string first_out;
  for (int run = 0; run < 2; ++run) {
    TempDir dir;
    dir.Write("art/in.ppm", image);
    const RunResult r =
        Convert(dir, {"--near", "--share", "1,1,1", "--data", "t", "art/in.ppm", "tex4x4", "t.ppm"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> bytes;
    for (const std::string& name : outputs) bytes.push_back(dir.Read(name));
    if (run == 0) {
      first = bytes;
      first_out = r.out;
    } else {
      EXPECT_TRUE(bytes == first);
      EXPECT_EQ(r.out, first_out);
    }
  }
  EXPECT_EQ(first_out.substr(0, first_out.find('\n')), "input: art/in.ppm (28x20)");
}

TEST(KelvaneConvertCli, OutputRows) {
  testing_support::OutputTool tool;
  const std::string image = Stripes(16, 16);
  tool.program = KELVANE_CONVERT_PATH;
  tool.inputs = {{"in.ppm", image}};
  tool.args = [](const std::string& output) {
    return std::vector<std::string>{"--quiet", "in.ppm", "direct", output};
  };
  {
    TempDir dir;
    dir.Write("in.ppm", image);
    ASSERT_EQ(Convert(dir, tool.args("p.ppm")).status, 0);
    tool.expected = dir.Read("p.ppm");
  }
  tool.open_failure_err = [](const std::string& output) { return "kelvane_convert: cannot write " + output + "\n"; };
  tool.large_inputs = {{"in.ppm", Stripes(2048, 2048)}};
  testing_support::ExpectOutputRows(tool);
}

TEST(KelvaneConvertCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  testing_support::FaultTool tool;
  const std::string image = Stripes(16, 16);
  tool.program = KELVANE_CONVERT_PATH;
  tool.inputs = {{"in.ppm", image}};
  // Every row fails, so the data files of the run must not appear either.
  tool.args = [](const std::string& output) {
    return std::vector<std::string>{"--data", "d", "in.ppm", "palette4", output};
  };
  {
    TempDir dir;
    dir.Write("in.ppm", image);
    const RunResult good = Convert(dir, {"--quiet", "in.ppm", "palette4", "p.ppm"});
    ASSERT_EQ(good.status, 0) << good.err;
    tool.expected = dir.Read("p.ppm");
  }
  tool.input = "in.ppm";
  tool.truncated = image.substr(0, 400);
  tool.outcome = [&](Fault fault, const std::string& path) -> Outcome {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull:
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return {1, "", "kelvane_convert: cannot write " + path + "\n"};
      case Fault::kInputMissing:
        return {1, "", "kelvane_convert: cannot read in.ppm: it cannot be opened\n"};
      case Fault::kInputIsFolder:
        return {1, "", "kelvane_convert: cannot read in.ppm: it is a folder\n"};
      case Fault::kInputIsFifo:
        return {1, "", "kelvane_convert: cannot read in.ppm: it is not a regular file\n"};
      case Fault::kInputTruncated:
        return {1, "", "kelvane_convert: cannot read in.ppm: image data ends after 387 of 768 bytes\n"};
      case Fault::kStdoutFull:
      case Fault::kOutputIsInput:
        break;
    }
    return {1, "", "kelvane_convert: cannot write the summary\n"};
  };
  tool.strict_rows = true;
  tool.same_file_outcome = [](const std::string& output, const std::string& input) -> Outcome {
    return {1, "", "kelvane_convert: cannot write " + output + ": it is the input " + input + "\n"};
  };
  testing_support::ExpectFaultRows(tool);
}

}  // namespace
