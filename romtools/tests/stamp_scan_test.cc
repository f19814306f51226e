// The block-wise marker scan against a literal one that reads a word at a
// time through the C library, on random programs full of marker halves.
#include "stamp_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "rom_builder.h"
#include "support/byte_order.h"
#include "testing/run_program.h"

namespace {

using romtools::MarkerFind;
using romtools::MarkerKind;
using romtools::ScanWindow;

// One 4-byte word at a time from the current position; the window keeps the
// last three (version) or four (build type) words and is handed on.
std::vector<MarkerFind> LiteralScan(FILE* fp, MarkerKind kind, uint32_t window[4]) {
  std::vector<MarkerFind> finds;
  uint8_t bytes[4];
  while (fread(bytes, 4, 1, fp) == 1) {
    const uint32_t word = support::LoadLe32(bytes);
    if (kind == MarkerKind::kVersion) {
      window[0] = window[1];
      window[1] = window[2];
      window[2] = word;
      if (window[1] == 0xDEC00621 && window[2] == 0x2106C0DE) {
        MarkerFind f;
        f.record[0] = window[0];
        f.end = static_cast<uint64_t>(ftell(fp));
        finds.push_back(f);
      }
    } else {
      window[0] = window[1];
      window[1] = window[2];
      window[2] = window[3];
      window[3] = word;
      if (window[2] == 0xDEC08133 && window[3] == 0x3381C0DE) {
        MarkerFind f;
        f.record[0] = window[0];
        f.record[1] = window[1];
        f.end = static_cast<uint64_t>(ftell(fp));
        finds.push_back(f);
      }
    }
  }
  return finds;
}

std::string Describe(const std::vector<MarkerFind>& finds) {
  std::string s;
  for (const MarkerFind& f : finds) {
    char line[64];
    snprintf(line, sizeof line, "%08x %08x @%llu\n", f.record[0], f.record[1], static_cast<unsigned long long>(f.end));
    s += line;
  }
  return s;
}

// Words drawn mostly from marker halves, zeros and format-1 words, with the
// odd stray byte so that some markers sit off the 4-byte grid.
std::string MarkerSoup(std::mt19937* rng, size_t words) {
  const uint32_t pool[] = {0xDEC00621, 0x2106C0DE, 0xDEC08133, 0x3381C0DE, 0, 1, 0x0901, 0x0700};
  std::string bytes;
  for (size_t i = 0; i < words; ++i) {
    std::string word(4, '\0');
    const uint32_t pick = (*rng)() % 10;
    support::StoreLe32(word.data(), pick < 8 ? pool[pick] : static_cast<uint32_t>((*rng)()));
    bytes += word;
    if ((*rng)() % 16 == 0) bytes.push_back(static_cast<char>((*rng)()));
  }
  return bytes;
}

TEST(StampScan, MatchesLiteralWordScan) {
  std::mt19937 rng(2008);
  testing_support::TempDir dir;
  for (int round = 0; round < 300; ++round) {
    const size_t words = round < 20 ? static_cast<size_t>(round) : rng() % (round < 250 ? 80 : 3000);
    const std::string program = MarkerSoup(&rng, words) + std::string(rng() % 4, '\x21');
    dir.Write("p.bin", program);
    const uint64_t start = round % 2 ? 48 : 0;
    const size_t block_size = (round % 5 == 0) ? romtools::kBlockSize : 4 * (1 + rng() % 12);

    FILE* fp = fopen(dir.File("p.bin").c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    uint32_t literal_window[4] = {0, 0, 0, 0};
    fseek(fp, static_cast<long>(start), SEEK_SET);
    const std::vector<MarkerFind> literal_versions = LiteralScan(fp, MarkerKind::kVersion, literal_window);
    fseek(fp, 0, SEEK_SET);
    const std::vector<MarkerFind> literal_builds = LiteralScan(fp, MarkerKind::kBuildType, literal_window);
    fclose(fp);

    support::File file;
    ASSERT_TRUE(romtools::OpenImage(dir.File("p.bin"), &file));
    ScanWindow window;
    std::vector<MarkerFind> versions, builds;
    ASSERT_TRUE(romtools::ScanMarkers(file, start, MarkerKind::kVersion, &window,
                                      [&](const MarkerFind& f) { versions.push_back(f); }, block_size));
    ASSERT_TRUE(romtools::ScanMarkers(file, 0, MarkerKind::kBuildType, &window,
                                      [&](const MarkerFind& f) { builds.push_back(f); }, block_size));
    EXPECT_EQ(Describe(versions), Describe(literal_versions)) << "round " << round;
    EXPECT_EQ(Describe(builds), Describe(literal_builds)) << "round " << round;

    // The one-pass scan: the same version finds, and the same build-type
    // finds of format 1 (or word that there were too many to keep).
    std::vector<MarkerFind> reported;
    for (const MarkerFind& f : literal_builds) {
      if ((f.record[1] & 0xFF) == 1) reported.push_back(f);
    }
    const size_t max_kept = round % 3 == 0 ? 1 : 4096;
    std::vector<MarkerFind> one_pass_versions, one_pass_builds;
    bool too_many = false;
    ASSERT_TRUE(romtools::ScanVersionsAndBuildTypes(
        file, start, [&](const MarkerFind& f) { one_pass_versions.push_back(f); }, &one_pass_builds, max_kept,
        &too_many, block_size));
    EXPECT_EQ(Describe(one_pass_versions), Describe(literal_versions)) << "round " << round;
    EXPECT_EQ(too_many, reported.size() > max_kept) << "round " << round;
    EXPECT_EQ(Describe(one_pass_builds), too_many ? "" : Describe(reported)) << "round " << round;
  }
}

}  // namespace
