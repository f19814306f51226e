// The child-boot image builder on arbitrary images and settings, and the
// header readers the ROM tools share. The first 18 bytes pick the settings
// and the system-call image's size; the rest is the ROM image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cart_slices.h"
#include "child_boot.h"
#include "rom_header.h"
#include "signature_block.h"
#include "support/byte_order.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 18) return 0;
  romtools::ChildBootSettings settings;
  // 16-bit signed values reach every interesting offset of a small image.
  settings.insert_offset = static_cast<int16_t>(support::LoadLe16(data));
  settings.insert_size = static_cast<int16_t>(support::LoadLe16(data + 2));
  settings.clear_offset = static_cast<int16_t>(support::LoadLe16(data + 4));
  settings.clear_size = static_cast<int16_t>(support::LoadLe16(data + 6));
  settings.full_output = data[8] & 1;
  const size_t syscall_size = support::LoadLe16(data + 9) % 4096;
  std::vector<uint8_t> rom(data + 18, data + size);
  std::vector<uint8_t> syscall(syscall_size, 0xA5);
  romtools::ChildBootPlan plan;
  if (romtools::BuildChildBootImage(settings, &rom, syscall, &plan) == romtools::ChildBootCheck::kOk) {
    if (plan.output_length > rom.size()) __builtin_trap();
  }

  if (rom.size() >= romtools::kRecordedSizeEnd) {
    const romtools::StaticSegment arm9 = romtools::Arm9Segment(rom.data());
    uint8_t record[romtools::kDefinitionRecordSize];
    romtools::FillDefinitionRecord(arm9, arm9.entry_address, record);
    uint8_t sign[romtools::kSignFileSize];
    romtools::MakePlaceholderSignFile(sign);
    romtools::CompareIdentity(rom.data(), sign);
    uint64_t output_size = 0;
    romtools::ApplySizeRule(rom.size(), romtools::HeaderWord(rom.data(), romtools::kRecordedImageSize), &output_size);
  }
  return 0;
}
