// cartcleave: slices ROM images into their ARM9 and ARM7 static binaries,
// each with a definition record beside it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cart_slices.h"
#include "error_line.h"
#include "image_file.h"
#include "rom_header.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/tool_main.h"

namespace {

constexpr int kExitOk = 0;  // also after the usage text
constexpr int kExitFailure = 1;

// The four outputs of an image, named after it.
constexpr const char* kArm9Slice = ".arm9.sbin";
constexpr const char* kArm7Slice = ".arm7.sbin";
constexpr const char* kArm9Record = ".arm9_defs.sbin";
constexpr const char* kArm7Record = ".arm7_defs.sbin";
constexpr const char* kOutputSuffixes[] = {kArm9Slice, kArm7Slice, kArm9Record, kArm7Record};

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

// An output written in full but not yet put in place, and the image it is
// named after. Outputs are put in place only once every image has been
// sliced, so that a run that fails leaves no new output behind.
struct PendingOutput {
  const char* image;
  support::OutputFile file;
};
using PendingOutputs = std::vector<std::unique_ptr<PendingOutput>>;

// Opens image path + suffix; null (after the message) when it cannot be.
support::OutputFile* OpenOutput(const char* path, const char* suffix, PendingOutputs* pending) {
  auto output = std::make_unique<PendingOutput>();
  output->image = path;
  if (output->file.Open(std::string(path) + suffix) != support::WriteStatus::kOk) {
    ErrorLine("Can't write '%s'\n", path);
    return nullptr;
  }
  pending->push_back(std::move(output));
  return &pending->back()->file;
}

// Writes `length` bytes of the image from `offset` to image path + suffix.
bool WriteSlice(const support::File& image, const char* path, const char* suffix, uint64_t offset, uint64_t length,
                PendingOutputs* pending) {
  support::OutputFile* out = OpenOutput(path, suffix, pending);
  if (out == nullptr) return false;
  switch (romtools::CopyRange(image, offset, length, out)) {
    case romtools::CopyStatus::kOk:
      return true;
    case romtools::CopyStatus::kReadError:
      ErrorLine("Can't read '%s'\n", path);
      return false;
    case romtools::CopyStatus::kWriteError:
      break;
  }
  ErrorLine("Can't write '%s'\n", path);
  return false;
}

bool WriteRecord(const char* path, const char* suffix, const uint8_t* record, PendingOutputs* pending) {
  support::OutputFile* out = OpenOutput(path, suffix, pending);
  if (out == nullptr) return false;
  if (!out->Write(record, romtools::kDefinitionRecordSize)) {
    ErrorLine("Can't write '%s'\n", path);
    return false;
  }
  return true;
}

// The entry address a definition record gets: the header's, or the load
// address (with a notice) when the header's lies outside the processor's bounds.
uint32_t CheckedEntry(const romtools::StaticSegment& segment, romtools::EntryBounds bounds, const char* processor) {
  if (romtools::InBounds(segment.entry_address, bounds)) return segment.entry_address;
  printf("%s entry address is out of bounds 0x%08x, set default 0x%08x.\n", processor, segment.entry_address,
         segment.load_address);
  return segment.load_address;
}

bool Cleave(const char* path, PendingOutputs* pending) {
  support::File image;
  uint8_t header[romtools::kSegmentHeaderSize];
  if (!romtools::OpenImage(path, &image)) {
    ErrorLine("Can't read '%s'\n", path);
    return false;
  }
  const uint64_t size = image.size();
  if (size < romtools::kSegmentHeaderSize) {
    ErrorLine("Binary file is too small.\n");
    return false;
  }
  if (image.ReadAt(0, header, sizeof header) != static_cast<long long>(sizeof header)) {
    ErrorLine("Can't read '%s'\n", path);
    return false;
  }
  const romtools::StaticSegment arm9 = romtools::Arm9Segment(header);
  const romtools::StaticSegment arm7 = romtools::Arm7Segment(header);
  // The sums are taken without wrapping, so no slice can reach past the file.
  // The header words print whole, as unsigned 32-bit values, on every system
  // (a long has 32 bits on Windows).
  if (size < arm9.End() || size < arm7.End()) {
    ErrorLine(
        "Rom Header information is corrupted.\n"
        "arm9_rom_offset  = %lld\n"
        "arm9_size        = %lld\n"
        "arm7_rom_offset  = %lld\n"
        "arm7_size        = %lld\n"
        "rom_size         = %llu\n",
        static_cast<long long>(arm9.rom_offset), static_cast<long long>(arm9.size),
        static_cast<long long>(arm7.rom_offset), static_cast<long long>(arm7.size),
        static_cast<unsigned long long>(size));
    return false;
  }
  if (strncmp(reinterpret_cast<const char*>(header + romtools::kGameTitleOffset), "HALVORNE", 8) != 0) {
    ErrorLine("Not DRAVO ROM binary.\n");
    return false;
  }
  if (!WriteSlice(image, path, kArm9Slice, arm9.rom_offset, arm9.size, pending)) return false;
  if (!WriteSlice(image, path, kArm7Slice, arm7.rom_offset, arm7.size, pending)) return false;

  uint8_t arm9_record[romtools::kDefinitionRecordSize];
  uint8_t arm7_record[romtools::kDefinitionRecordSize];
  romtools::FillDefinitionRecord(arm9, CheckedEntry(arm9, romtools::kArm9EntryBounds, "ARM9"), arm9_record);
  romtools::FillDefinitionRecord(arm7, CheckedEntry(arm7, romtools::kArm7EntryBounds, "ARM7"), arm7_record);
  return WriteRecord(path, kArm9Record, arm9_record, pending) && WriteRecord(path, kArm7Record, arm7_record, pending);
}

// An output replaces the file of its name, which must not be one of the
// images of the run (a link to one, or an image named on the command line
// after another's output). Each name is looked at once, by its identity.
bool RefuseImageAsOutput(const Options& options) {
  std::vector<std::pair<support::FileIdentity, const char*>> images;
  for (int i = 0; i < options.count; ++i) {
    support::FileIdentity identity;
    if (support::StatFile(options.images[i], &identity) == support::FileKind::kRegular) {
      images.emplace_back(identity, options.images[i]);
    }
  }
  for (int i = 0; i < options.count; ++i) {
    for (const char* suffix : kOutputSuffixes) {
      const std::string name = std::string(options.images[i]) + suffix;
      support::FileIdentity identity;
      if (support::StatFile(name, &identity) != support::FileKind::kRegular) continue;
      for (const auto& [image_identity, image] : images) {
        if (image_identity == identity) {
          ErrorLine("Can't write '%s': it is the same file as '%s'\n", name.c_str(), image);
          return false;
        }
      }
    }
  }
  return true;
}

int Run(const Options& options) {
  if (!RefuseImageAsOutput(options)) return kExitFailure;
  PendingOutputs pending;
  for (int i = 0; i < options.count; ++i) {
    if (!Cleave(options.images[i], &pending)) return kExitFailure;
  }
  // The notices must have reached standard output before anything is kept.
  if (!support::FlushStdout()) {
    ErrorLine("Can't write 'stdout'\n");
    return kExitFailure;
  }
  for (const auto& output : pending) {
    if (output->file.Commit() != support::WriteStatus::kOk) {
      ErrorLine("Can't write '%s'\n", output->image);
      return kExitFailure;
    }
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) { return support::ToolMain(argc, argv, ParseArgs, Run, "Can't write 'stdout'\n"); }
