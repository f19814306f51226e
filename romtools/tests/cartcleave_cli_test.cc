#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cut_rows.h"
#include "rom_builder.h"
#include "support/platform.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using romtools_test::PutSegments;
using romtools_test::RandomBytes;
using romtools_test::Words;
using testing_support::Lacks;
using testing_support::Need;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;
namespace fs = std::filesystem;

const testing_support::Cli kCartcleave(CARTCLEAVE_PATH, "cartcleave");

// A 0x3000-byte image: ARM9 at 0x400 (0x1000 bytes), ARM7 at 0x2000 up to
// the end of the file.
std::string Rom(uint32_t arm9_entry = 0x2004000, uint32_t arm7_entry = 0x380FFFF, uint32_t seed = 52) {
  std::string rom = RandomBytes(0x3000, seed);
  rom.replace(0, 8, "HALVORNE");
  PutSegments(&rom, 0x400, arm9_entry, 0x2000000, 0x1000, 0x2000, arm7_entry, 0x37F8000, 0x1000);
  return rom;
}

std::vector<std::string> OutputsOf(const std::string& name) {
  return {name + ".arm7.sbin", name + ".arm7_defs.sbin", name + ".arm9.sbin", name + ".arm9_defs.sbin"};
}

TEST(CartcleaveCli, SlicesEachImageAndWritesRecords) {
  TempDir dir;
  const std::string first = Rom();
  const std::string second = Rom(0x2003FFF, 0x37F7FFF, 53);
  dir.Write("image.srl", first);
  dir.Write("sub/other", second);
  RunResult r = kCartcleave.Run(dir, {"image.srl", "sub/other"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // Entries on both bounds stay; one below either bound becomes the load address.
  EXPECT_EQ(r.out,
            "ARM9 entry address is out of bounds 0x02003fff, set default 0x02000000.\n"
            "ARM7 entry address is out of bounds 0x037f7fff, set default 0x037f8000.\n");
  std::vector<std::string> expected = OutputsOf("image.srl");
  expected.insert(expected.begin(), "image.srl");
  expected.push_back("sub");
  EXPECT_EQ(dir.List(), expected);
  EXPECT_TRUE(dir.Read("image.srl.arm9.sbin") == first.substr(0x400, 0x1000));
  EXPECT_TRUE(dir.Read("image.srl.arm7.sbin") == first.substr(0x2000, 0x1000));
  EXPECT_TRUE(dir.Read("image.srl.arm9_defs.sbin") == Words(0x2000000, 0x2004000, 0x1000, 0));
  EXPECT_TRUE(dir.Read("image.srl.arm7_defs.sbin") == Words(0x37F8000, 0x380FFFF, 0x1000, 0));
  EXPECT_TRUE(dir.Read("sub/other.arm9.sbin") == second.substr(0x400, 0x1000));
  EXPECT_TRUE(dir.Read("sub/other.arm9_defs.sbin") == Words(0x2000000, 0x2000000, 0x1000, 0));
  EXPECT_TRUE(dir.Read("sub/other.arm7_defs.sbin") == Words(0x37F8000, 0x37F8000, 0x1000, 0));
  EXPECT_TRUE(dir.Read("image.srl") == first);
}

// The outputs of an image named by an absolute path (a drive letter and
// backslashes on Windows) or by a name outside ASCII replace older ones.
TEST(CartcleaveCli, WritesBesideImagesOfAnyName) {
  TempDir dir;
  const std::string rom = Rom();
  const std::string name = "\xc3\xbf-Zyr-\xc3\xa9\xe6\x96\x87.srl";  // ÿ-Zyr-é文.srl
  dir.Write(name, rom);
  dir.Write("abs.srl", rom);
  for (const std::string& output : OutputsOf(name)) dir.Write(output, std::string("old"));
  const std::string absolute = support::JoinPath(support::AbsolutePath(dir.path()), "abs.srl");
  ASSERT_TRUE(support::IsAbsolutePath(absolute)) << absolute;
  RunResult r = kCartcleave.Run(dir, {name, absolute});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  std::vector<std::string> names = {name, "abs.srl"};
  for (const std::string& image : {name, std::string("abs.srl")}) {
    for (const std::string& output : OutputsOf(image)) names.push_back(output);
    EXPECT_TRUE(dir.Read(image + ".arm9.sbin") == rom.substr(0x400, 0x1000)) << image;
    EXPECT_TRUE(dir.Read(image + ".arm7.sbin") == rom.substr(0x2000, 0x1000)) << image;
    EXPECT_TRUE(dir.Read(image + ".arm9_defs.sbin") == Words(0x2000000, 0x2004000, 0x1000, 0)) << image;
    EXPECT_TRUE(dir.Read(image + ".arm7_defs.sbin") == Words(0x37F8000, 0x380FFFF, 0x1000, 0)) << image;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(dir.List(), names);
}

TEST(CartcleaveCli, AcceptsSmallestImagesAndEmptySlices) {
  TempDir dir;
  std::string rom = std::string("HALVORNE") + std::string(56, '\0');
  PutSegments(&rom, 64, 0x2007FFF, 0, 0, 0, 0x37F8000, 0, 64);
  dir.Write("tiny.srl", rom);
  RunResult r = kCartcleave.Run(dir, {"tiny.srl"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.Read("tiny.srl.arm9.sbin"), "");
  EXPECT_TRUE(dir.Read("tiny.srl.arm7.sbin") == rom);
}

TEST(CartcleaveCli, RefusesBadImagesInOrder) {
  struct Case {
    std::string rom;
    std::string err;
  };
  std::string slice_too_far = Rom();
  PutSegments(&slice_too_far, 0x400, 0x2004000, 0, 0x1000, 0x2000, 0x37F8000, 0, 0x1001);
  // offset + size wraps to 0x800 in 32 bits: still refused.
  std::string wrapping = Rom();
  PutSegments(&wrapping, 0xFFFFF000, 0x2004000, 0, 0x1800, 0x2000, 0x37F8000, 0, 0x1000);
  std::string not_dravo = Rom();
  not_dravo[7] = 'X';
  std::string corrupt_and_not_dravo = slice_too_far;
  corrupt_and_not_dravo[0] = 'h';
  const std::string corrupted = "Rom Header information is corrupted.\n";
  const std::vector<Case> cases = {
      {std::string(63, 'H'), "Binary file is too small.\n"},
      {std::string(64, '\0'), "Not DRAVO ROM binary.\n"},
      {slice_too_far, corrupted +
                          "arm9_rom_offset  = 1024\narm9_size        = 4096\narm7_rom_offset  = 8192\n"
                          "arm7_size        = 4097\nrom_size         = 12288\n"},
      {wrapping, corrupted +
                     "arm9_rom_offset  = 4294963200\narm9_size        = 6144\narm7_rom_offset  = 8192\n"
                     "arm7_size        = 4096\nrom_size         = 12288\n"},
      {corrupt_and_not_dravo, corrupted +
                                  "arm9_rom_offset  = 1024\narm9_size        = 4096\narm7_rom_offset  = 8192\n"
                                  "arm7_size        = 4097\nrom_size         = 12288\n"},
      {not_dravo, "Not DRAVO ROM binary.\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("bad.srl", c.rom);
    dir.Write("good.srl", Rom());
    // The first failure stops the run: the second image is not looked at.
    RunResult r = kCartcleave.Run(dir, {"bad.srl", "good.srl"});
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"bad.srl", "good.srl"}));
  }
}

// A run that fails keeps nothing it wrote: the outputs of every image are
// put in place only once all of them are written and standard output has
// taken every notice.
TEST(CartcleaveCli, AFailedRunLeavesNoNewOutput) {
  TempDir dir;
  dir.Write("good.srl", Rom());
  dir.Write("folder/x", std::string("x"));
  RunResult r = kCartcleave.Run(dir, {"good.srl", "missing.srl", "folder", "good.srl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Can't read 'missing.srl'\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"folder", "good.srl"}));

  // An output name taken by a folder: the message names the image, and
  // the slice written before it is not kept.
  TempDir other;
  other.Write("rom.srl", Rom());
  other.Write("rom.srl.arm7.sbin/x", std::string("x"));
  r = kCartcleave.Run(other, {"rom.srl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can't write 'rom.srl'\n");
  EXPECT_EQ(other.List(), (std::vector<std::string>{"rom.srl", "rom.srl.arm7.sbin"}));

  // Notices that standard output cannot take.
  if (const char* why = Lacks(Need::kDeviceFiles)) GTEST_SKIP() << why;
  TempDir full;
  full.Write("a.srl", Rom());
  full.Write("b.srl", Rom(0x2003FFF));
  testing_support::RunOptions options;
  options.stdout_path = "/dev/full";
  r = RunProgram(CARTCLEAVE_PATH, {"a.srl", "b.srl"}, full.path(), options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can't write 'stdout'\n");
  EXPECT_EQ(full.List(), (std::vector<std::string>{"a.srl", "b.srl"}));
}

// The outputs are named after the image, so an output is an input only
// through a link or when an image is named after another's output: refused
// before anything is written, whatever the spelling.
TEST(CartcleaveCli, RefusesAnOutputThatIsAnImage) {
  struct Case {
    std::string link;  // the output made another name of the image
    bool symbolic;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"rom.srl.arm9.sbin", false, {"rom.srl"}},
      {"rom.srl.arm7_defs.sbin", true, {"./rom.srl"}},
      {"", false, {"rom.srl", "other.srl", "rom.srl.arm7.sbin"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    if (c.symbolic && Lacks(Need::kSymlinks)) {
      std::cerr << "note: row skipped (a symbolic link): " << Lacks(Need::kSymlinks) << "\n";
      continue;
    }
    TempDir dir;
    const std::string rom = Rom();
    dir.Write("rom.srl", rom);
    dir.Write("other.srl", Rom());
    dir.Write("rom.srl.arm7.sbin", std::string("old"));
    std::string output = "rom.srl.arm7.sbin";
    if (!c.link.empty()) {
      if (c.symbolic) {
        fs::create_symlink("rom.srl", dir.File(c.link));
      } else {
        fs::create_hard_link(dir.File("rom.srl"), dir.File(c.link));
      }
      output = c.args[0] + c.link.substr(7);
    }
    std::vector<std::string> names = dir.List();
    const RunResult r = kCartcleave.Run(dir, c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Can't write '" + output + "': it is the same file as '" + (c.link.empty() ? output : c.args[0]) +
                         "'\n");
    EXPECT_EQ(dir.List(), names);
    EXPECT_TRUE(dir.Read("rom.srl") == rom);
    EXPECT_EQ(dir.Read("rom.srl.arm7.sbin"), "old");
  }
}

TEST(CartcleaveCli, UsageWithoutOperands) {
  TempDir dir;
  RunResult r = kCartcleave.Run(dir, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Usage: cartcleave [ROM IMAGE...]\n\nSlice DRAVO ROM image into ARM9/7 binaries\n");
}

TEST(CartcleaveCli, FaultRows) {
  using testing_support::Fault;
  using testing_support::Outcome;
  const std::string rom = Rom();
  // The input rows: the image cut inside its header, then inside the ARM7
  // slice. Its ARM9 entry address is out of bounds, so that a notice goes to
  // standard output (a failing one in the row that fills it).
  const std::string noticed = Rom(0x2003FFF);
  testing_support::FaultTool tool;
  tool.program = CARTCLEAVE_PATH;
  tool.inputs = {{"rom.srl", noticed}};
  tool.args = [](const std::string&) { return std::vector<std::string>{"rom.srl"}; };
  tool.writes_output = false;  // the output rows follow, the outputs being named after the image
  const std::vector<romtools_test::Cut> cuts = {
      {"rom.srl", noticed.substr(0, 0x20), "Binary file is too small.\n"},
      {"rom.srl", noticed.substr(0, 0x2800),
       "Rom Header information is corrupted.\narm9_rom_offset  = 1024\narm9_size        = 4096\n"
       "arm7_rom_offset  = 8192\narm7_size        = 4096\nrom_size         = 10240\n"},
  };
  romtools_test::ExpectFaultRowsForEachCut(tool, cuts, [](Fault fault, const std::string& path, const auto& cut) {
    if (fault == Fault::kStdoutFull) return Outcome{1, "", "Can't write 'stdout'\n"};
    if (fault == Fault::kInputTruncated) return Outcome{1, "", cut.err};
    return Outcome{1, "", "Can't read '" + path + "'\n"};
  });

  // The output rows. Each starts from the image with older outputs beside it
  // (none in the unwritable folder); the first output written fails, so the
  // run stops there and every older output comes through unchanged.
  const std::string old = "the old output\n";
  const std::vector<std::string> outputs = OutputsOf("rom.srl");
  const auto user = testing_support::RowUser();
  struct Row {
    const char* what;
    std::string image;  // the operand
    long long file_size_limit;
    std::vector<Need> needs;
  };
  const std::vector<Row> rows = {
      {"the first output is a link to /dev/full", "rom.srl", -1, {Need::kSymlinks, Need::kDeviceFiles}},
      {"the disk fills while the first output is written", "rom.srl", 0x800, {Need::kFileSizeLimit}},
      {"the first output names a folder", "rom.srl", -1, {}},
      {"the image lies in a folder the user may not write", "ro/rom.srl", -1, {}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.what);
    if (i == 3 && !user) {
      std::cerr << "note: no unprivileged user, so the unwritable folder row is skipped\n";
      continue;
    }
    const auto lacking = std::find_if(row.needs.begin(), row.needs.end(), [](Need n) { return Lacks(n) != nullptr; });
    if (lacking != row.needs.end()) {
      std::cerr << "note: row skipped (" << row.what << "): " << Lacks(*lacking) << "\n";
      continue;
    }
    TempDir dir;
    dir.Write(row.image, rom);
    if (i != 3) {
      for (const std::string& name : outputs) dir.Write(name, old);
    }
    if (i == 0) {
      ASSERT_TRUE(fs::remove(dir.File("rom.srl.arm9.sbin")));
      fs::create_symlink("/dev/full", dir.File("rom.srl.arm9.sbin"));
    } else if (i == 2) {
      ASSERT_TRUE(fs::remove(dir.File("rom.srl.arm9.sbin")));
      dir.Write("rom.srl.arm9.sbin/keep", std::string("kept\n"));
    }
    testing_support::RunOptions options;
    options.timeout_seconds = 20;
    options.file_size_limit = row.file_size_limit;
    if (user && testing_support::RunsAsRoot()) {
      fs::permissions(dir.path(), fs::perms(0755));
      ASSERT_TRUE(testing_support::GiveAllTo(dir.path(), *user));
      options.uid = static_cast<int>(user->uid);
      options.gid = static_cast<int>(user->gid);
    }
    if (i == 3) {
      fs::permissions(dir.File("ro"), fs::perms(0555));
    }
    const RunResult r = RunProgram(CARTCLEAVE_PATH, {row.image}, dir.path(), options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Can't write '" + row.image + "'\n");
    if (i == 3) {
      EXPECT_EQ(dir.List(), std::vector<std::string>{"ro"});
      EXPECT_FALSE(dir.Exists("ro/rom.srl.arm9.sbin"));
      continue;
    }
    std::vector<std::string> names = outputs;
    names.push_back("rom.srl");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.List(), names) << "a temporary file was left";
    for (const std::string& name : outputs) {
      if (name != "rom.srl.arm9.sbin") {
        EXPECT_EQ(dir.Read(name), old) << name;
      }
    }
    if (i == 0) {
      EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.File("rom.srl.arm9.sbin"))));
    } else if (i == 1) {
      EXPECT_EQ(dir.Read("rom.srl.arm9.sbin"), old);
    } else {
      EXPECT_EQ(dir.Read("rom.srl.arm9.sbin/keep"), "kept\n");
    }
  }
}

}  // namespace
