// The header readers of cartcleave, stampview and signmerge on arbitrary
// images. The image sits in an anonymous memory file (nothing is written to
// disk) so that the block-wise scanner reads it as the tool does. The
// one-pass scan of versions and build types must report what the two
// separate scans report, whatever the block size.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cart_slices.h"
#include "image_file.h"
#include "rom_header.h"
#include "signature_block.h"
#include "stamp_scan.h"

namespace {

using romtools::MarkerFind;

bool SameFinds(const std::vector<MarkerFind>& a, const std::vector<MarkerFind>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].end != b[i].end || a[i].record[0] != b[i].record[0] || a[i].record[1] != b[i].record[1]) return false;
  }
  return true;
}

void CheckStampScan(const uint8_t* data, size_t size) {
  const int fd = memfd_create("rom", 0);
  if (fd < 0) return;
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return;
  }
  support::File file;
  if (!romtools::OpenImage("/proc/self/fd/" + std::to_string(fd), &file)) {
    close(fd);
    return;
  }
  close(fd);
  if (file.size() != size) __builtin_trap();
  uint64_t start = 0;
  if (size >= romtools::kStampHeaderSize && romtools::LooksLikeRomImage(data)) start = romtools::kStampHeaderSize;

  std::vector<MarkerFind> versions, build_types;
  romtools::ScanWindow window;
  if (!romtools::ScanMarkers(file, start, romtools::MarkerKind::kVersion, &window,
                             [&](const MarkerFind& f) { versions.push_back(f); })) {
    __builtin_trap();
  }
  romtools::ScanWindow window2;
  if (!romtools::ScanMarkers(file, 0, romtools::MarkerKind::kBuildType, &window2, [&](const MarkerFind& f) {
        if (romtools::DecodeBuildTypeRecord(f.record).format == 1) build_types.push_back(f);
      })) {
    __builtin_trap();
  }
  for (const MarkerFind& f : versions) {
    if (f.end > size || f.end < start + 4) __builtin_trap();
    const romtools::VersionRecord v = romtools::DecodeVersionRecord(f.record[0]);
    romtools::ClassifyReleaseStep(v.release_step);
  }
  for (const MarkerFind& f : build_types) {
    if (f.end > size) __builtin_trap();
    romtools::BuildTypeName(romtools::DecodeBuildTypeRecord(f.record).type_index);
  }
  for (size_t block : {size_t{4}, size_t{64}, romtools::kBlockSize}) {
    std::vector<MarkerFind> v2, b2;
    bool too_many = false;
    if (!romtools::ScanVersionsAndBuildTypes(file, start, [&](const MarkerFind& f) { v2.push_back(f); }, &b2, 3,
                                             &too_many, block)) {
      __builtin_trap();
    }
    if (!SameFinds(v2, versions)) __builtin_trap();
    if (too_many != (build_types.size() > 3) || (!too_many && !SameFinds(b2, build_types))) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  std::vector<uint8_t> rom(data, data + size);  // exact bounds for the sanitizers

  if (rom.size() >= romtools::kSegmentHeaderSize) {
    // cartcleave: the two slices and their definition records.
    const romtools::StaticSegment arm9 = romtools::Arm9Segment(rom.data());
    const romtools::StaticSegment arm7 = romtools::Arm7Segment(rom.data());
    if (arm9.End() < arm9.rom_offset || arm7.End() < arm7.rom_offset) __builtin_trap();
    uint8_t record[romtools::kDefinitionRecordSize];
    romtools::FillDefinitionRecord(arm9, arm9.entry_address, record);
    romtools::FillDefinitionRecord(arm7, arm7.entry_address, record);
    if (romtools::InBounds(arm9.entry_address, romtools::kArm9EntryBounds) &&
        (arm9.entry_address < 0x2004000 || arm9.entry_address > 0x2007FFF)) {
      __builtin_trap();
    }
  }
  if (rom.size() >= romtools::kRecordedSizeEnd) {
    // signmerge: the identity check against a sign file taken from the input
    // when it is long enough, and the size rule.
    uint8_t sign[romtools::kSignFileSize];
    romtools::MakePlaceholderSignFile(sign);
    if (rom.size() >= romtools::kRecordedSizeEnd + romtools::kSignFileSize) {
      const uint8_t* tail = rom.data() + rom.size() - romtools::kSignFileSize;
      if (romtools::SignFileHeaderValid(tail)) romtools::CompareIdentity(rom.data(), tail);
    }
    romtools::CompareIdentity(rom.data(), sign);
    uint64_t output_size = 0;
    const uint64_t recorded = romtools::HeaderWord(rom.data(), romtools::kRecordedImageSize);
    const romtools::SizeRule rule = romtools::ApplySizeRule(rom.size(), recorded, &output_size);
    if (rule == romtools::SizeRule::kTooSmall ? output_size != 0 : output_size < recorded) __builtin_trap();
  }
  CheckStampScan(rom.data(), rom.size());
  return 0;
}
