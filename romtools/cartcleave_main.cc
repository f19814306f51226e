// cartcleave: slices ROM images into their ARM9 and ARM7 static binaries,
// each with a definition record beside it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "cart_slices.h"
#include "error_line.h"
#include "image_file.h"
#include "rom_header.h"
#include "support/file_io.h"
#include "support/output_file.h"

namespace {

constexpr int kExitOk = 0;  // also after the usage text
constexpr int kExitFailure = 1;

struct Options {
  int count = 0;
  char** images = nullptr;
};

int ParseArgs(int argc, char** argv, Options* options) {
  if (argc < 2) {
    fprintf(stderr, "Usage: cartcleave [ROM IMAGE...]\n\nSlice DRAVO ROM image into ARM9/7 binaries\n");
    return kExitOk;
  }
  options->count = argc - 1;
  options->images = argv + 1;
  return -1;
}

using romtools_cli::ErrorLine;

// Writes `length` bytes of the image from `offset` to image path + suffix.
bool WriteSlice(const romtools::ImageFile& image, const char* path, const char* suffix, uint64_t offset,
                uint64_t length) {
  const std::string name = std::string(path) + suffix;
  support::OutputFile out;
  if (out.Open(name) != support::WriteStatus::kOk) {
    ErrorLine("Can't write '%s'\n", path);
    return false;
  }
  switch (romtools::CopyRange(image, offset, length, &out)) {
    case romtools::CopyStatus::kOk:
      break;
    case romtools::CopyStatus::kReadError:
      ErrorLine("Can't read '%s'\n", path);
      return false;
    case romtools::CopyStatus::kWriteError:
      ErrorLine("Can't write '%s'\n", path);
      return false;
  }
  if (out.Commit() != support::WriteStatus::kOk) {
    ErrorLine("Can't write '%s'\n", path);
    return false;
  }
  return true;
}

bool WriteRecord(const char* path, const char* suffix, const uint8_t* record) {
  const std::string name = std::string(path) + suffix;
  if (support::WriteOutputFile(name, record, romtools::kDefinitionRecordSize) != support::WriteStatus::kOk) {
    ErrorLine("Can't write '%s'\n", path);
    return false;
  }
  return true;
}

bool Cleave(const char* path) {
  romtools::ImageFile image;
  uint8_t header[romtools::kSegmentHeaderSize];
  if (!image.Open(path)) {
    ErrorLine("Can't read '%s'\n", path);
    return false;
  }
  const uint64_t size = image.size();
  if (size < romtools::kSegmentHeaderSize) {
    fflush(stdout);
    fputs("Binary file is too small.\n", stderr);
    return false;
  }
  if (image.ReadAt(0, header, sizeof header) != static_cast<ssize_t>(sizeof header)) {
    ErrorLine("Can't read '%s'\n", path);
    return false;
  }
  const romtools::StaticSegment arm9 = romtools::Arm9Segment(header);
  const romtools::StaticSegment arm7 = romtools::Arm7Segment(header);
  // The sums are taken without wrapping, so no slice can reach past the file.
  if (size < arm9.End() || size < arm7.End()) {
    fflush(stdout);
    fprintf(stderr,
            "Rom Header information is corrupted.\n"
            "arm9_rom_offset  = %ld\n"
            "arm9_size        = %ld\n"
            "arm7_rom_offset  = %ld\n"
            "arm7_size        = %ld\n"
            "rom_size         = %llu\n",
            static_cast<long>(arm9.rom_offset), static_cast<long>(arm9.size), static_cast<long>(arm7.rom_offset),
            static_cast<long>(arm7.size), static_cast<unsigned long long>(size));
    return false;
  }
  if (strncmp(reinterpret_cast<const char*>(header + romtools::kGameTitleOffset), "HALVORNE", 8) != 0) {
    fflush(stdout);
    fputs("Not DRAVO ROM binary.\n", stderr);
    return false;
  }
  if (!WriteSlice(image, path, ".arm9.sbin", arm9.rom_offset, arm9.size)) return false;
  if (!WriteSlice(image, path, ".arm7.sbin", arm7.rom_offset, arm7.size)) return false;

  // An entry address outside the processor's bounds is replaced by the load
  // address, with a notice.
  uint32_t arm9_entry = arm9.entry_address;
  if (!romtools::InBounds(arm9_entry, romtools::kArm9EntryBounds)) {
    printf("ARM9 entry address is out of bounds 0x%08x, set default 0x%08x.\n", arm9.entry_address,
           arm9.load_address);
    arm9_entry = arm9.load_address;
  }
  uint32_t arm7_entry = arm7.entry_address;
  if (!romtools::InBounds(arm7_entry, romtools::kArm7EntryBounds)) {
    printf("ARM7 entry address is out of bounds 0x%08x, set default 0x%08x.\n", arm7.entry_address,
           arm7.load_address);
    arm7_entry = arm7.load_address;
  }
  uint8_t arm9_record[romtools::kDefinitionRecordSize];
  uint8_t arm7_record[romtools::kDefinitionRecordSize];
  romtools::FillDefinitionRecord(arm9, arm9_entry, arm9_record);
  romtools::FillDefinitionRecord(arm7, arm7_entry, arm7_record);
  return WriteRecord(path, ".arm9_defs.sbin", arm9_record) && WriteRecord(path, ".arm7_defs.sbin", arm7_record);
}

int Run(const Options& options) {
  for (int i = 0; i < options.count; ++i) {
    if (!Cleave(options.images[i])) return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int status = ParseArgs(argc, argv, &options);
  if (status < 0) status = Run(options);
  return support::CloseStdout(status, "Can't write 'stdout'\n");
}
