#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rom_builder.h"
#include "testing/run_program.h"

namespace {

using romtools_test::PutSegments;
using romtools_test::RandomBytes;
using romtools_test::Words;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TempDir;

RunResult Cartcleave(const TempDir& dir, const std::vector<std::string>& args) {
  testing_support::RunOptions options;
  options.argv0 = "cartcleave";
  return RunProgram(CARTCLEAVE_PATH, args, dir.path(), options);
}

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
  RunResult r = Cartcleave(dir, {"image.srl", "sub/other"});
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

TEST(CartcleaveCli, AcceptsSmallestImagesAndEmptySlices) {
  TempDir dir;
  std::string rom = std::string("HALVORNE") + std::string(56, '\0');
  PutSegments(&rom, 64, 0x2007FFF, 0, 0, 0, 0x37F8000, 0, 64);
  dir.Write("tiny.srl", rom);
  RunResult r = Cartcleave(dir, {"tiny.srl"});
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
    RunResult r = Cartcleave(dir, {"bad.srl", "good.srl"});
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"bad.srl", "good.srl"}));
  }
}

TEST(CartcleaveCli, StopsAtUnreadableOrUnwritable) {
  TempDir dir;
  dir.Write("good.srl", Rom());
  dir.Write("folder/x", std::string("x"));
  RunResult r = Cartcleave(dir, {"good.srl", "missing.srl", "folder", "good.srl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Can't read 'missing.srl'\n");
  EXPECT_EQ(dir.List().size(), 6u);  // the first image's four outputs stay

  // An output name taken by a folder: the message names the image, and
  // nothing is left half-written.
  TempDir other;
  other.Write("rom.srl", Rom());
  other.Write("rom.srl.arm7.sbin/x", std::string("x"));
  r = Cartcleave(other, {"rom.srl"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can't write 'rom.srl'\n");
  EXPECT_EQ(other.List(), (std::vector<std::string>{"rom.srl", "rom.srl.arm7.sbin", "rom.srl.arm9.sbin"}));
}

TEST(CartcleaveCli, UsageWithoutOperands) {
  TempDir dir;
  RunResult r = Cartcleave(dir, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Usage: cartcleave [ROM IMAGE...]\n\nSlice DRAVO ROM image into ARM9/7 binaries\n");
}

}  // namespace
