// End-to-end tests of parser: arguments, exact messages, statuses and the
// bytes of the generated file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testing/golden.h"
#include "testing/run_program.h"

namespace {

using testing_support::ExpectGolden;
using testing_support::ReadFileOrEmpty;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

const std::string kData = TEST_DATA_DIR;
const char kUsage[] =
    "Usage: parser [OPTION]... RESOURCE_FILE\n"
    "\n"
    "Options:\n"
    "  -o         : Output C filename.\n";
const char kEmptyFile[] =
    "#include <dravo.h>\n"
    "ENVResource* resourceArray[]=\n"
    "{\n"
    "   NULL\n"
    "};\n";

RunResult Parser(const TempDir& dir, const std::vector<std::string>& args) {
  RunOptions options;
  options.argv0 = "parser";
  return RunProgram(PARSER_PATH, args, dir.path(), options);
}

void CopyData(const TempDir& dir, const std::string& name) { dir.Write(name, ReadFileOrEmpty(kData + "/" + name)); }

TEST(ParserCli, TranslatesTheExampleWhateverItsLayout) {
  for (const char* input : {"example.res", "example_lines.res"}) {
    SCOPED_TRACE(input);
    TempDir dir;
    CopyData(dir, input);
    CopyData(dir, "blob.txt");
    RunResult r = Parser(dir, {input});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "output = ./result.c\nfinish!!\n");
    EXPECT_EQ(r.err, "");
    ExpectGolden(kData + "/example.c", dir.Read("result.c"));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"blob.txt", input, "result.c"}));
  }
}

TEST(ParserCli, EmptyDescriptionAndTheLastOutputOption) {
  TempDir dir;
  dir.Write("empty.res", std::string(" \r\n\n\t\n"));
  RunResult r = Parser(dir, {"-o", "out.c", "empty.res", "-o", "other.c"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "output = out.c\noutput = other.c\nfinish!!\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.Read("other.c"), kEmptyFile);
  EXPECT_FALSE(dir.Exists("out.c"));
}

TEST(ParserCli, UsageErrorsCreateNoFile) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{}, kUsage, ""},
      {{"-o", "out.c"}, std::string("output = out.c\n") + kUsage, ""},
      {{"-o", "out.c", "-s", "x", "d.res"}, std::string("output = out.c\n") + kUsage, ""},
      {{"-n", "1", "d.res"}, kUsage, ""},
      {{"d.res", "-x"}, kUsage, "parser: invalid option -- 'x'\n"},
      {{"d.res", "-o"}, kUsage, "parser: option requires an argument -- 'o'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args.back());
    TempDir dir;
    dir.Write("d.res", std::string("<A>"));
    RunResult r = Parser(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"d.res"});
  }
}

TEST(ParserCli, SyntaxErrorKeepsWhatWasWritten) {
  TempDir dir;
  CopyData(dir, "second_error.res");
  dir.Write("result.c", std::string("old contents\n"));
  RunResult r = Parser(dir, {"second_error.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = ./result.c\nsyntax error line 8\nnear STRING\n");
  EXPECT_EQ(r.err, "\n");
  ExpectGolden(kData + "/second_error.c", dir.Read("result.c"));
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"result.c", "second_error.res"}));

  dir.Write("d.res", std::string("\n]"));
  r = Parser(dir, {"-o", "o.c", "d.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = o.c\nsyntax error line 2\nnear (start of input)\n");
  EXPECT_EQ(dir.Read("o.c"), "#include <dravo.h>\n");
}

TEST(ParserCli, SeveralFilesShareTheStateAndOneArray) {
  TempDir dir;
  dir.Write("a.res", std::string("<A>\n[G]\n"));
  dir.Write("b.res", std::string("<B>\n[H] k U8 1\n"));
  RunResult r = Parser(dir, {"a.res", "b.res"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("result.c"),
            "#include <dravo.h>\n"
            "static ENVResource A[] = {\n   ENV_RESOURCE_END\n};\n\n"
            "static ENVResource B[] = {\n   \"H.k\",\tENV_U8(1),\n   ENV_RESOURCE_END\n};\n\n"
            "ENVResource* resourceArray[]=\n{\n   A, B, NULL\n};\n");

  // The line counter goes on from the first file; nothing is written after
  // the failing one.
  dir.Write("c.res", std::string("k S8 1"));
  r = Parser(dir, {"a.res", "c.res", "b.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = ./result.c\nsyntax error line 3\nnear k\n");
  EXPECT_EQ(dir.Read("result.c"), "#include <dravo.h>\nstatic ENVResource A[] = {\n   ENV_RESOURCE_END\n};\n\n");
}

TEST(ParserCli, InputProblems) {
  TempDir dir;
  dir.Write("d.res", std::string("<A>[G] k S8 1 data BINARY \"missing.txt\" x U8 2"));
  const std::string partial = "#include <dravo.h>\nstatic ENVResource A[] = {\n   \"G.k\",\tENV_S8(1),\n"
                              "   \"G.data\",\tENV_BINARY(\"";
  RunResult r = Parser(dir, {"d.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = ./result.c\n");
  EXPECT_EQ(r.err, "file \"missing.txt\" open error!\n");
  EXPECT_EQ(dir.Read("result.c"), partial);

  ASSERT_EQ(mkdir(dir.File("missing.txt").c_str(), 0755), 0);  // a folder is no file to copy
  r = Parser(dir, {"d.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "file \"missing.txt\" open error!\n");
  EXPECT_EQ(dir.Read("result.c"), partial);

  r = Parser(dir, {"-o", "o.c", "nope.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = o.c\n");
  EXPECT_EQ(r.err, "Error: cannot open input file \"nope.res\".\n");
  EXPECT_EQ(dir.Read("o.c"), "#include <dravo.h>\n");

  r = Parser(dir, {"-o", "o.c", "missing.txt"});  // a folder cannot be read
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "input in flex scanner failed\n");
  EXPECT_EQ(dir.Read("o.c"), "#include <dravo.h>\n");
}

TEST(ParserCli, OutputProblemsLeaveOtherFilesAlone) {
  TempDir dir;
  const std::string description = "<A>[G] k S8 1\n";
  dir.Write("d.res", description);
  ASSERT_EQ(symlink("d.res", dir.File("link.c").c_str()), 0);
  for (const char* output : {"d.res", "./d.res", "link.c"}) {
    SCOPED_TRACE(output);
    RunResult r = Parser(dir, {"-o", output, "d.res"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::string("output = ") + output + "\n");
    EXPECT_EQ(r.err, std::string("Error: output file \"") + output + "\" is the input file \"d.res\".\n");
    EXPECT_EQ(dir.Read("d.res"), description);
  }

  RunResult r = Parser(dir, {"-o", "no/such/folder/out.c", "d.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "fopen ERROR!\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"d.res", "link.c"}));
}

}  // namespace
