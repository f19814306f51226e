// End-to-end tests of parser: arguments, exact messages, statuses and the
// bytes of the generated file.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "testing/golden.h"
#include "testing/output_rows.h"
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

// A failed run keeps no part of its output: an old file stays, none is made.
TEST(ParserCli, SyntaxErrorLeavesTheOldOutput) {
  TempDir dir;
  CopyData(dir, "second_error.res");
  dir.Write("result.c", std::string("old contents\n"));
  RunResult r = Parser(dir, {"second_error.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = ./result.c\nsyntax error line 8\nnear STRING\n");
  EXPECT_EQ(r.err, "\n");
  EXPECT_EQ(dir.Read("result.c"), "old contents\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"result.c", "second_error.res"}));

  dir.Write("d.res", std::string("\n]"));
  r = Parser(dir, {"-o", "o.c", "d.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = o.c\nsyntax error line 2\nnear (start of input)\n");
  EXPECT_FALSE(dir.Exists("o.c"));
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

  // The line counter goes on from the first file; the failing one stops the
  // run, and the file of the run before stays.
  const std::string before = dir.Read("result.c");
  dir.Write("c.res", std::string("k S8 1"));
  r = Parser(dir, {"a.res", "c.res", "b.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = ./result.c\nsyntax error line 3\nnear k\n");
  EXPECT_EQ(dir.Read("result.c"), before);
}

TEST(ParserCli, InputProblems) {
  TempDir dir;
  dir.Write("d.res", std::string("<A>[G] k S8 1 data BINARY \"missing.txt\" x U8 2"));
  RunResult r = Parser(dir, {"d.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = ./result.c\n");
  EXPECT_EQ(r.err, "file \"missing.txt\" open error!\n");

  ASSERT_TRUE(std::filesystem::create_directory(dir.File("missing.txt")));  // a folder is no file to copy
  r = Parser(dir, {"d.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "file \"missing.txt\" open error!\n");

  r = Parser(dir, {"-o", "o.c", "nope.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "output = o.c\n");
  EXPECT_EQ(r.err, "Error: cannot open input file \"nope.res\".\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"d.res", "missing.txt"}));
}

TEST(ParserCli, OutputProblemsLeaveOtherFilesAlone) {
  TempDir dir;
  const std::string description = "<A>[G] k S8 1\n";
  dir.Write("d.res", description);
  std::vector<const char*> outputs = {"d.res", "./d.res"};
  std::vector<std::string> names = {"d.res"};
  if (const char* why = testing_support::Lacks(testing_support::Need::kSymlinks)) {
    std::cerr << "note: the output as a symbolic link is not tried: " << why << "\n";
  } else {
    std::filesystem::create_symlink("d.res", dir.File("link.c"));
    outputs.push_back("link.c");
    names.push_back("link.c");
  }
  for (const char* output : outputs) {
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
  EXPECT_EQ(dir.List(), names);
}

TEST(ParserCli, ResourceNamesThatWouldNotCompileStopTheRun) {
  const struct {
    std::string description;
    std::string error;
  } cases[] = {
      {"<A>\n<my-table>", "resource name is not a C identifier line 2\nnear my-table\n"},
      {"<int>", "resource name is a C keyword line 1\nnear int\n"},
      {"<resourceArray>", "resource name is reserved line 1\nnear resourceArray\n"},
      {"<A>[G] k S8 1\n<B>\n\n<A>[H]", "duplicate resource name line 3\nnear A\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    TempDir dir;
    dir.Write("d.res", c.description);
    RunResult r = Parser(dir, {"d.res"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "output = ./result.c\n" + c.error);
    EXPECT_EQ(r.err, "\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"d.res"});
  }
}

// The dependency file names the output and every file it was made from,
// quoted as make reads names, and is written only by a run that succeeds.
TEST(ParserCli, DepfileNamesTheOutputAndItsSources) {
  TempDir dir;
  dir.Write("my desc.res", std::string("<A>[G] data BINARY \"a$b#c.txt\" k S8 1\n"));
  dir.Write("back\\ slash.res", std::string("<B>[G] again BINARY \"a$b#c.txt\" other BINARY \"blob.txt\"\n"));
  dir.Write("a$b#c.txt", std::string("one"));
  dir.Write("blob.txt", std::string("two"));
  RunResult r = Parser(dir, {"-o", "out.c", "--depfile", "out.d", "my desc.res", "back\\ slash.res"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "output = out.c\nfinish!!\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.Read("out.d"), "out.c: my\\ desc.res back\\\\\\ slash.res a$$b\\#c.txt blob.txt\n");
  EXPECT_NE(dir.Read("out.c").find("ENV_BINARY(\"two\")"), std::string::npos);

  // Without -o the target is the default output; a failed run leaves the
  // old dependency file as it was, and a new one is never made.
  dir.Write("bad.res", std::string("<C> oops"));
  r = Parser(dir, {"--depfile=out.d", "bad.res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(dir.Read("out.d"), "out.c: my\\ desc.res back\\\\\\ slash.res a$$b\\#c.txt blob.txt\n");
  dir.Write("e.res", std::string());
  r = Parser(dir, {"--depfile", "new.d", "e.res"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("new.d"), "./result.c: e.res\n");

  const struct {
    std::vector<std::string> args;
    std::string err;
  } refused[] = {
      {{"--depfile", "./e.res", "e.res"}, "Error: output file \"./e.res\" is the input file \"e.res\".\n"},
      {{"--depfile", "a$b#c.txt", "my desc.res"},
       "Error: output file \"a$b#c.txt\" is the input file \"a$b#c.txt\".\n"},
      {{"-o", "x.c", "--depfile", "./x.c", "e.res"},
       "Error: dependency file \"./x.c\" is the output file \"x.c\".\n"},
      {{"-o", "line\nbreak.c", "--depfile", "x.d", "e.res"},
       "Error: \"line\nbreak.c\" cannot be named in a dependency file.\n"},
      {{"--depfile", "no/such/folder/x.d", "e.res"}, "Error: cannot write dependency file \"no/such/folder/x.d\".\n"},
  };
  const std::vector<std::string> files = dir.List();
  for (const auto& c : refused) {
    SCOPED_TRACE(c.err);
    if (c.args[1].find('\n') != std::string::npos && testing_support::Lacks(testing_support::Need::kAnyFileName)) {
      std::cerr << "note: not tried: " << testing_support::Lacks(testing_support::Need::kAnyFileName) << "\n";
      continue;
    }
    r = Parser(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.List(), files);
  }
  EXPECT_EQ(dir.Read("blob.txt"), "two");
  EXPECT_EQ(dir.Read("a$b#c.txt"), "one");
}

// Faults of the disk, the output and the description: a clear message, the
// documented status, and an old output left as it was.
TEST(ParserCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const std::string description = "<Settings>\n[Net]\n port U16 80\n name STRING host1\n";
  testing_support::FaultTool tool;
  tool.program = PARSER_PATH;
  tool.strict_rows = true;
  tool.inputs = {{"d.res", description}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"-o", output, "d.res"}; };
  tool.expected =
      "#include <dravo.h>\n"
      "static ENVResource Settings[] = {\n"
      "   \"Net.port\",\tENV_U16(80),\n"
      "   \"Net.name\",\tENV_STRING(\"host1\"),\n"
      "   ENV_RESOURCE_END\n"
      "};\n\n"
      "ENVResource* resourceArray[]=\n{\n   Settings, NULL\n};\n";
  tool.input = "d.res";
  tool.truncated = description.substr(0, 26);  // ends after the type of "port"
  tool.outcome = [&](Fault fault, const std::string& path) -> Outcome {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull:
        return {1, "output = " + path + "\n", "fclose ERROR!\n"};
      case Fault::kFolderNotWritable:
      case Fault::kOutputIsFolder:
        return {1, "output = " + path + "\n", "fopen ERROR!\n"};
      case Fault::kInputIsFifo:  // a description may come through a pipe
        return {0, "output = out\nfinish!!\n", ""};
      case Fault::kStdoutFull:
        return {1, "", "stdout write ERROR!\n"};
      case Fault::kInputTruncated:
        return {1, "output = out\nsyntax error line 3\nnear U16\n", "\n"};
      default:  // missing, or a folder
        return {1, "output = out\n", "Error: cannot open input file \"" + path + "\".\n"};
    }
  };
  // The file of a BINARY entry counts as an input, under the name the
  // description gives it.
  tool.same_file_outcome = [](const std::string& output, const std::string& input) -> Outcome {
    return {1, "output = " + output + "\n", "Error: output file \"" + output + "\" is the input file \"" + input + "\".\n"};
  };
  testing_support::ExpectFaultRows(tool);

  // The file of a BINARY entry as the input: a pipe is refused without
  // waiting, a short file is copied as it is.
  testing_support::FaultTool binary = tool;
  binary.inputs = {{"d.res", "<B>\n[G] data BINARY \"blob.txt\"\n"}, {"blob.txt", "line one\\n"}};
  const auto table = [](const std::string& blob) {
    return "#include <dravo.h>\nstatic ENVResource B[] = {\n   \"G.data\",\tENV_BINARY(\"" + blob +
           "\"),\n   ENV_RESOURCE_END\n};\n\nENVResource* resourceArray[]=\n{\n   B, NULL\n};\n";
  };
  binary.expected = table("line one\\n");
  binary.input = "blob.txt";
  binary.truncated = "line";
  binary.truncated_expected = table("line");
  binary.outcome = [&](Fault fault, const std::string& path) -> Outcome {
    switch (fault) {
      case Fault::kInputMissing:
      case Fault::kInputIsFolder:
      case Fault::kInputIsFifo:
        return {1, "output = out\n", "file \"blob.txt\" open error!\n"};
      case Fault::kInputTruncated:
        return {0, "output = out\nfinish!!\n", ""};
      default:
        return tool.outcome(fault, path);
    }
  };
  testing_support::ExpectFaultRows(binary);
}

}  // namespace
