// End-to-end tests of keyedbin: arguments, exact messages, statuses and bytes.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "keyedbin_reference.h"
#include "rc4.h"
#include "rc4_reference.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using testing_support::RunResult;
using testing_support::TempDir;

const std::string kKey40("\x01\x02\x03\x04\x05", 5);
// The first 32 key-stream bytes of the key 01 02 03 04 05, so that encrypting
// zero bytes gives known output.
const std::string kStream40(
    "\xb2\x39\x63\x05\xf0\x3d\xc0\x27\xcc\xc3\x52\x4a\x0a\x11\x18\xa8"
    "\x69\x82\x94\x4f\x18\xfc\x82\xd5\x89\xc4\x03\xa4\x7a\x0d\x09\x19",
    32);

const char kUsage[] =
    "Usage: keyedbin [-s] [-t[width]] [-A4] [-o outputFile] <inputFile> <keyFile>\n"
    "\t-s                   Print no message if conversion has been success.\n"
    "\t-t[TypeWidth(1|2|4)] output C format text. We able to specify the type(1=u8,2=u16,4=u32).\n"
    "\t-A4                  Align 4byte for filesize\n"
    "\t-o outputFile        Specify the output file name.\n";

const testing_support::Cli kKeyedbin(KEYEDBIN_PATH, "/opt/sdk/bin/keyedbin.exe");

TEST(KeyedbinCli, RawOutputRoundTrips) {
  TempDir dir;
  std::string plain;
  for (int i = 0; i < 1000; ++i) plain += static_cast<char>(i * 7 + 3);
  dir.Write("a.dat", plain);
  dir.Write("k.key", std::string("sixteen-byte-key"));
  RunResult r = kKeyedbin.Run(dir, {"a.dat", "k.key"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "convert a.dat to a_rc4.bin (1000byte)\n");
  EXPECT_EQ(r.err, "");
  std::string cipher = dir.Read("a_rc4.bin");
  ASSERT_EQ(cipher.size(), plain.size());
  EXPECT_NE(cipher, plain);

  r = kKeyedbin.Run(dir, {"-s", "a_rc4.bin", "k.key", "-o", "back.dat"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(dir.Read("back.dat"), plain);
}

TEST(KeyedbinCli, EncryptsWithPlainRc4) {
  TempDir dir;
  dir.Write("zero.bin", std::string(32, '\0'));
  dir.Write("k", kKey40);
  RunResult r = kKeyedbin.Run(dir, {"zero.bin", "k", "-s"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("zero_rc4.bin"), kStream40);
}

// The tool encrypts and writes 1 MiB at a time: lengths on and around its
// pieces, raw and as u32 text with padding, against the literal loop.
TEST(KeyedbinCli, MatchesTheLiteralLoopAcrossPieces) {
  TempDir dir;
  std::mt19937 rng(27);
  std::vector<uint8_t> plain((size_t{2} << 20) + 13);
  for (auto& b : plain) b = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> key = {0x4b, 0x65, 0x79, 0x21, 0x07, 0xff, 0x00};
  dir.Write("k", key);
  auto expected = [&](size_t length, size_t padded) {
    std::vector<uint8_t> out(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(length));
    rc4::State state;
    rc4::Init(&state, key.data(), key.size());
    rc4_reference::Crypt(&state, out.data(), out.size());
    out.resize(padded, 0);
    return out;
  };
  for (size_t length : {(size_t{1} << 20) - 1, size_t{1} << 20, (size_t{1} << 20) + 1, plain.size()}) {
    dir.Write("in", std::vector<uint8_t>(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(length)));
    const RunResult r = kKeyedbin.Run(dir, {"-s", "in", "k", "-o", "out.bin"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> e = expected(length, length);
    EXPECT_TRUE(dir.Read("out.bin") == std::string(e.begin(), e.end())) << length;
  }
  // The last piece carries three zero bytes of padding.
  const RunResult r = kKeyedbin.Run(dir, {"-s", "-t4", "in", "k", "-o", "out.c"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.Read("out.c") == keyedbin_reference::LiteralText(expected(plain.size(), plain.size() + 3), 4, "out"));
}

TEST(KeyedbinCli, WritesTwentyBytesAsU8Text) {
  TempDir dir;
  dir.Write("a.dat", std::string(20, '\0'));
  dir.Write("k", kKey40);
  RunResult r = kKeyedbin.Run(dir, {"-t1", "a.dat", "k"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "convert a.dat to a_rc4.c (20byte)\n");
  EXPECT_EQ(dir.Read("a_rc4.c"),
            "#include <dravo.h>\n\n"
            "const u8 a_rc4[0x14] = {\n"
            "0xB2,0x39,0x63,0x05,0xF0,0x3D,0xC0,0x27,0xCC,0xC3,0x52,0x4A,0x0A,0x11,0x18,0xA8,\n"
            "0x69,0x82,0x94,0x4F,\n"
            "};\n");
  // "-t" alone means width 1.
  r = kKeyedbin.Run(dir, {"-t", "a.dat", "k", "-o", "b.c"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("b.c"), "#include <dravo.h>\n\n"
                             "const u8 b[0x14] = {\n"
                             "0xB2,0x39,0x63,0x05,0xF0,0x3D,0xC0,0x27,0xCC,0xC3,0x52,0x4A,0x0A,0x11,0x18,0xA8,\n"
                             "0x69,0x82,0x94,0x4F,\n"
                             "};\n");
}

TEST(KeyedbinCli, PacksWideElementsLittleEndianAndPads) {
  TempDir dir;
  dir.Write("k", kKey40);
  dir.Write("five", std::string(5, '\0'));
  RunResult r = kKeyedbin.Run(dir, {"-s", "-t2", "five", "k", "-o", "five.c"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("five.c"), "#include <dravo.h>\n\nconst u16 five[0x3] = {\n0x39B2,0x0563,0x00F0,\n};\n");

  dir.Write("ten", std::string(10, '\0'));
  r = kKeyedbin.Run(dir, {"-s", "-t4", "ten", "k", "-o", "ten.c"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("ten.c"),
            "#include <dravo.h>\n\nconst u32 ten[0x3] = {\n0x056339B2,0x27C03DF0,0x0000C3CC,\n};\n");

  // u16 elements break every eight too: nine take two lines.
  dir.Write("n18", std::string(18, '\0'));
  r = kKeyedbin.Run(dir, {"-s", "-t2", "n18", "k", "-o", "w.c"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("w.c"),
            "#include <dravo.h>\n\nconst u16 w[0x9] = {\n"
            "0x39B2,0x0563,0x3DF0,0x27C0,0xC3CC,0x4A52,0x110A,0xA818,\n"
            "0x8269,\n"
            "};\n");

  // Nine u32 elements break after eight.
  dir.Write("n32", std::string(32, '\0'));
  r = kKeyedbin.Run(dir, {"-s", "-t4", "-A4", "n32", "k", "-o", "n.c"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("n.c"),
            "#include <dravo.h>\n\nconst u32 n[0x8] = {\n"
            "0x056339B2,0x27C03DF0,0x4A52C3CC,0xA818110A,0x4F948269,0xD582FC18,0xA403C489,0x19090D7A,\n"
            "};\n");
  dir.Write("n34", std::string(34, '\0'));
  r = kKeyedbin.Run(dir, {"-s", "-t4", "n34", "k", "-o", "m.c"});
  EXPECT_EQ(r.status, 0);
  std::string text = dir.Read("m.c");
  EXPECT_NE(text.find("const u32 m[0x9] = {\n0x056339B2,"), std::string::npos);
  EXPECT_NE(text.find(",0x19090D7A,\n0x0000"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 5), ",\n};\n");
}

TEST(KeyedbinCli, AlignsToFourWithZeros) {
  TempDir dir;
  dir.Write("k", kKey40);
  dir.Write("five", std::string(5, '\0'));
  RunResult r = kKeyedbin.Run(dir, {"five", "k", "-A4"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "convert five to five_rc4.bin (5byte)\n");
  EXPECT_EQ(dir.Read("five_rc4.bin"), kStream40.substr(0, 5) + std::string(3, '\0'));
  r = kKeyedbin.Run(dir, {"five", "k", "-o", "plain.bin", "-s"});
  EXPECT_EQ(dir.Read("plain.bin"), kStream40.substr(0, 5));
}

TEST(KeyedbinCli, DerivesDefaultNames) {
  TempDir dir;
  dir.Write("k", kKey40);
  dir.Write("sub.d/a.b.c", std::string("xyz"));
  RunResult r = kKeyedbin.Run(dir, {"sub.d/a.b.c", "k"});
  EXPECT_EQ(r.out, "convert sub.d/a.b.c to sub.d/a.b_rc4.bin (3byte)\n");
  EXPECT_TRUE(dir.Exists("sub.d/a.b_rc4.bin"));
  // The array takes the output's name, which must then be a C identifier.
  r = kKeyedbin.Run(dir, {"-t", "sub.d/a.b.c", "k"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERR: array name a.b_rc4 is not a C identifier\n");
  EXPECT_FALSE(dir.Exists("sub.d/a.b_rc4.c"));
  dir.Write("sub.d/ab.c", std::string("xyz"));
  r = kKeyedbin.Run(dir, {"-t", "sub.d/ab.c", "k"});
  EXPECT_EQ(r.out, "convert sub.d/ab.c to sub.d/ab_rc4.c (3byte)\n");
  EXPECT_NE(dir.Read("sub.d/ab_rc4.c").find("const u8 ab_rc4[0x3] = {"), std::string::npos);
  // A dot in a folder name is not an extension.
  dir.Write("sub.d/noext", std::string("q"));
  r = kKeyedbin.Run(dir, {"sub.d/noext", "k"});
  EXPECT_EQ(r.out, "convert sub.d/noext to sub.d/noext_rc4.bin (1byte)\n");
}

TEST(KeyedbinCli, RefusesBadCommandLines) {
  TempDir dir;
  dir.Write("a", std::string("abc"));
  dir.Write("k", kKey40);
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"a"},
      {"a", "k", "extra"},
      {"-t3", "a", "k"},
      {"-t0", "a", "k"},
      {"-tx", "a", "k"},
      {"-t0x4", "a", "k"},  // read as 0, which is refused, never taken as a width
      {"-A8", "a", "k"},
      {"-ss", "a", "k"},
      {"-s", "-s", "a", "k"},
      {"-t1", "-t2", "a", "k"},
      {"-A4", "-A4", "a", "k"},
      {"-o", "x", "-o", "y", "a", "k"},
      {"a", "k", "-o"},
      {"-t", "2", "a", "k"},  // the width must be attached: "2" is an operand
      {"-", "a", "k"},
  };
  for (const auto& args : bad) {
    RunResult r = kKeyedbin.Run(dir, args);
    EXPECT_EQ(r.status, 1) << testing::PrintToString(args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kUsage) << testing::PrintToString(args);
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"a", "k"}));
}

TEST(KeyedbinCli, ReportsFileErrors) {
  TempDir dir;
  dir.Write("x.bin", std::string("abc"));
  dir.Write("k16", std::string(16, 'k'));
  dir.Write("k17", std::string(17, 'k'));
  dir.Write("empty", std::string());
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"x.bin", "k16", "-o", "x.bin"}, "ERR: output file x.bin is same as input file\n"},
      {{"nope", "nokey"}, "ERR: could not open file: nope\n"},
      {{"x.bin", "nokey"}, "ERR: could not open file: nokey\n"},
      {{"x.bin", "k17"}, "ERR: the key is too long\n"},
      {{"x.bin", "empty"}, "ERR: the key is empty\n"},
      {{"empty", "k16"}, "ERR: convert error\n"},
      {{"x.bin", "k16", "-o", "missing/out.bin"}, "ERR: could not open file: missing/out.bin\n"},
      {{".", "k16", "-o", "o"}, "ERR: could not open file: .\n"},
  };
  for (const auto& c : cases) {
    RunResult r = kKeyedbin.Run(dir, c.args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(dir.Read("x.bin"), "abc");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"empty", "k16", "k17", "x.bin"}));

  // A sixteen-byte key is fine; "./x.bin" is a different string from "x.bin".
  RunResult r = kKeyedbin.Run(dir, {"./x.bin", "k16", "-o", "x.bin.out", "-s"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST(KeyedbinCli, FailedWriteKeepsExistingOutput) {
  TempDir dir;
  dir.Write("in", std::string("abc"));
  dir.Write("k", kKey40);
  dir.Write("out.d/keep", std::string("x"));
  // An output path that names a folder cannot be written; nothing is lost.
  RunResult r = kKeyedbin.Run(dir, {"in", "k", "-o", "out.d"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ERR: could not open file: out.d\n");
  EXPECT_EQ(dir.Read("out.d/keep"), "x");
  // A device that takes no bytes is a write error, and stays a device.
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  r = kKeyedbin.Run(dir, {"in", "k", "-o", "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERR: write error\n");
}

TEST(KeyedbinCli, WritesThroughLinksAndPipes) {
  namespace fs = std::filesystem;
  if (const char* why = testing_support::Lacks(testing_support::Need::kSymlinks)) GTEST_SKIP() << why;
  TempDir dir;
  dir.Write("k", kKey40);
  dir.Write("in", std::string(5, '\0'));
  dir.Write("real/keep", std::string("x"));
  // A link to a file not yet there: the file is created, the link stays.
  fs::create_symlink("real/out.bin", dir.File("link.bin"));
  RunResult r = kKeyedbin.Run(dir, {"-s", "in", "k", "-o", "link.bin"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.File("link.bin"))));
  EXPECT_EQ(dir.Read("real/out.bin"), kStream40.substr(0, 5));
  // An existing file keeps its permission bits.
  fs::permissions(dir.File("real/out.bin"), fs::perms::owner_read | fs::perms::owner_write);
  r = kKeyedbin.Run(dir, {"-s", "-A4", "in", "k", "-o", "link.bin"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.File("link.bin"))));
  EXPECT_EQ(dir.Read("real/out.bin"), kStream40.substr(0, 5) + std::string(3, '\0'));
  EXPECT_EQ(fs::status(dir.File("real/out.bin")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // A named pipe receives the C text and stays a pipe.
  testing_support::HeldFifo pipe(dir.File("pipe"));
  ASSERT_TRUE(pipe.ok());
  r = kKeyedbin.Run(dir, {"-t2", "in", "k", "-o", "pipe"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "convert in to pipe (5byte)\n");
  EXPECT_EQ(pipe.ReadAvailable(), "#include <dravo.h>\n\nconst u16 pipe[0x3] = {\n0x39B2,0x0563,0x00F0,\n};\n");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir.File("pipe"))));
}

TEST(KeyedbinCli, KeepsAFileTheUserMayNotWrite) {
  if (testing_support::RunsAsRoot()) GTEST_SKIP() << "root may write to any file";
  TempDir dir;
  dir.Write("k", kKey40);
  dir.Write("in", std::string("abc"));
  dir.Write("ro.bin", std::string("old"));
  std::filesystem::permissions(dir.File("ro.bin"), std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::group_read |
                                                       std::filesystem::perms::others_read);
  RunResult r = kKeyedbin.Run(dir, {"in", "k", "-o", "ro.bin"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERR: could not open file: ro.bin\n");
  EXPECT_EQ(dir.Read("ro.bin"), "old");
}

TEST(KeyedbinCli, ArraysCompileAndBadNamesAreRefused) {
  TempDir dir;
  dir.Write("k", kKey40);
  dir.Write("in", std::string(37, 'i'));
  for (const char* name : {"my-data.c", "int.c", "9lives.c", "a b.c"}) {
    RunResult r = kKeyedbin.Run(dir, {"-t", "in", "k", "-o", name});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ERR: array name " + std::string(name).substr(0, std::strlen(name) - 2) + " is " +
                         (name[0] == 'i' ? "a C keyword" : "not a C identifier") + "\n");
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"in", "k"}));
  // Each element type compiles as strict C against the kit header.
  std::string sources;
  for (const char* width : {"-t1", "-t2", "-t4"}) {
    const std::string name = std::string("data") + width[2] + ".c";
    ASSERT_EQ(kKeyedbin.Run(dir, {"-s", width, "in", "k", "-o", name}).status, 0);
    sources += " " + name;
  }
  if (const char* why = testing_support::Lacks(testing_support::Need::kShell)) GTEST_SKIP() << why;
  const RunResult cc = testing_support::RunProgram(
      "/bin/sh",
      {"-c", "command -v cc >/dev/null || exit 77; for f in" + sources +
                 "; do cc -std=c99 -pedantic-errors -Wall -Werror -I \"$0\" -c \"$f\" -o /dev/null || exit 1; done",
       TEST_DATA_DIR "/../../../demo"},
      dir.path());
  if (cc.status == 77) GTEST_SKIP() << "no C compiler";
  EXPECT_EQ(cc.status, 0) << cc.err;
}

TEST(KeyedbinCli, FullStandardOutputLeavesNoNewOutput) {
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  TempDir dir;
  dir.Write("k", kKey40);
  dir.Write("in", std::string(5, '\0'));
  dir.Write("old.bin", std::string("old"));
  testing_support::RunOptions options;
  options.stdout_path = "/dev/full";
  for (const char* output : {"new.bin", "old.bin"}) {
    const RunResult r = testing_support::RunProgram(KEYEDBIN_PATH, {"in", "k", "-o", output}, dir.path(), options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERR: write error\n");
  }
  EXPECT_EQ(dir.Read("old.bin"), "old");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"in", "k", "old.bin"}));
}

}  // namespace

namespace {

TEST(KeyedbinCli, OutputRows) {
  testing_support::OutputTool tool;
  tool.program = KEYEDBIN_PATH;
  tool.inputs = {{"in", std::string(32, '\0')}, {"k", kKey40}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"-s", "in", "k", "-o", output}; };
  tool.expected = kStream40;
  tool.open_failure_err = [](const std::string& output) { return "ERR: could not open file: " + output + "\n"; };
  tool.large_inputs = {{"in", std::string(64u << 20, 'x')}, {"k", kKey40}};
  testing_support::ExpectOutputRows(tool);
}

}  // namespace

namespace {

TEST(KeyedbinCli, FaultRows) {
  using testing_support::Fault;
  testing_support::FaultTool tool;
  tool.program = KEYEDBIN_PATH;
  tool.inputs = {{"in", std::string(32, '\0')}, {"k", kKey40}};
  tool.args = [](const std::string& output) { return std::vector<std::string>{"-s", "in", "k", "-o", output}; };
  tool.expected = kStream40;
  tool.input = "in";
  tool.truncated = std::string(7, '\0');
  tool.truncated_expected = kStream40.substr(0, 7);
  tool.outcome = [](Fault fault, const std::string& path) -> testing_support::Outcome {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull: return {1, "", "ERR: write error\n"};
      case Fault::kInputTruncated: return {0, "", ""};
      case Fault::kStdoutFull: return {0, "", ""};  // -s: nothing goes to standard output
      default: return {1, "", "ERR: could not open file: " + path + "\n"};
    }
  };
  tool.strict_rows = true;
  tool.same_file_outcome = [](const std::string& output, const std::string& input) -> testing_support::Outcome {
    if (input == "k") return {1, "", "ERR: output file " + output + " is same as key file k\n"};
    return {1, "", "ERR: output file " + output + " is same as input file\n"};
  };
  testing_support::ExpectFaultRows(tool);
}

}  // namespace
