// The child-boot image builder on arbitrary images and settings, and the
// header readers the ROM tools share. The first 18 bytes pick the settings
// and the system-call image's size; the rest is the ROM image, whose first
// bytes are also read as kidboot reads a number from its command line.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cart_slices.h"
#include "child_boot.h"
#include "rom_header.h"
#include "signature_block.h"
#include "support/byte_order.h"
#include "support/text_parse.h"

namespace {

// The setting reader against the C library: what strtoll reads, in base 16
// after "0x" and in base 10 otherwise, as the whole text and within int; a
// decimal also as atoi reads it.
void CheckSettingValue(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 24));
  const char* c_text = text.c_str();  // up to the first NUL
  const char* p = c_text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (*p == '+' || *p == '-') ++p;
  const bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
  errno = 0;
  char* end = nullptr;
  const long long expected = std::strtoll(c_text, &end, hex ? 16 : 10);
  const bool whole = end != c_text && *end == '\0' && errno == 0 && expected >= INT_MIN && expected <= INT_MAX;
  int value = 7;
  const bool ok = romtools::ParseSettingValue(c_text, &value);
  if (ok != whole || (ok && value != expected) || (!ok && value != 7)) __builtin_trap();
  if (ok && !hex && value != support::ParseIntPrefix(c_text)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 18) return 0;
  CheckSettingValue(data + 18, size - 18);
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
