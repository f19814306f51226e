// stampview: shows the kit version and build types recorded in a program.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "error_line.h"
#include "image_file.h"
#include "rom_header.h"
#include "stamp_scan.h"
#include "support/platform.h"
#include "support/tool_main.h"

namespace {

constexpr unsigned long kBuildNumber = 20081203;
constexpr int kExitCannotOpen = 1;
constexpr int kExitUsage = 5;
// Bits of the exit status after a scan.
constexpr int kNoVersionBit = 1;
constexpr int kBuildTypeMismatchBit = 2;
// Build-type records kept from the one-pass scan before a second pass is taken instead.
constexpr size_t kMaxKeptBuildTypes = 4096;

struct Options {
  const char* path = nullptr;
};

int Usage() {
  fprintf(stderr,
          "DRAVO-SDK Development Tool - stampview - Show version information\n"
          "Build %lu\n"
          "\n"
          "Usage: stampview ROMFILE\n"
          "\n"
          "  Show DRAVO-SDK version information in ROMFILE\n"
          "\n",
          kBuildNumber);
  return kExitUsage;
}

int ParseArgs(int argc, char** argv, Options* options) {
  if (argc != 2) return Usage();
  options->path = argv[1];
  return -1;
}

using romtools_cli::ErrorLine;

void PrintVersion(const romtools::MarkerFind& find, const romtools::StaticSegment& arm9) {
  const romtools::VersionRecord v = romtools::DecodeVersionRecord(find.record[0]);
  printf("DRAVO-SDK VERSION: %d.%02d", v.major, v.minor);
  const romtools::ReleaseStep step = romtools::ClassifyReleaseStep(v.release_step);
  if (step.kind != nullptr) {
    printf(" %s", step.kind);
    if (step.number != 0) printf("%d", step.number);
    if (step.plus != 0) {
      printf(" plus");
      if (step.plus >= 2) printf("%d", step.plus);
    }
  } else {
    printf("XXX [unknown RelID=%d]", v.release_step);
  }
  if (find.end >= arm9.rom_offset && find.end - arm9.rom_offset < arm9.size) printf(" [STATIC MODULE]");
  printf("\n");
}

int Run(const Options& options) {
  support::File file;
  uint8_t header[romtools::kSegmentHeaderSize] = {};
  if (!romtools::OpenImage(options.path, &file) ||
      file.ReadAt(0, header, romtools::kStampHeaderSize) != static_cast<long long>(romtools::kStampHeaderSize)) {
    ErrorLine("Error: Cannot open '%s'\n", options.path);
    return kExitCannotOpen;
  }
  uint64_t start = romtools::kStampHeaderSize;
  if (!romtools::LooksLikeRomImage(header)) {
    memset(header, 0, sizeof header);
    start = 0;
  }
  const romtools::StaticSegment arm9 = romtools::Arm9Segment(header);

  int result = 0;
  bool have_previous = false;
  uint8_t previous_index = 0;
  bool mismatch = false;
  auto report_build_type = [&](const romtools::MarkerFind& find) {
    const romtools::BuildTypeRecord b = romtools::DecodeBuildTypeRecord(find.record);
    if (b.format != 1) return;
    const char* name = romtools::BuildTypeName(b.type_index);
    if (name != nullptr) {
      printf("BUILD_TYPE:ARM%d %s\n", b.processor, name);
    } else {
      printf("BUILD_TYPE:ARM%d Unknown(%d)\n", b.processor, b.type_index);
    }
    if (have_previous && b.type_index != previous_index) mismatch = true;
    have_previous = true;
    previous_index = b.type_index;
  };

  // One pass finds both kinds; the build-type lines follow the version
  // lines. A program with a great many build-type records is read a second
  // time for them rather than holding them all.
  std::vector<romtools::MarkerFind> build_types;
  bool too_many = false;
  bool read_ok = romtools::ScanVersionsAndBuildTypes(
      file, start,
      [&](const romtools::MarkerFind& find) {
        PrintVersion(find, arm9);
        if (romtools::DecodeVersionRecord(find.record[0]).major == 0) {
          ErrorLine("** Error: No version information in '%s'\n", options.path);
          fputs("(older than 2.0FC?)\n", stderr);
          result |= kNoVersionBit;
        }
      },
      &build_types, kMaxKeptBuildTypes, &too_many);
  if (read_ok && too_many) {
    romtools::ScanWindow window;
    read_ok = romtools::ScanMarkers(file, 0, romtools::MarkerKind::kBuildType, &window, report_build_type);
  } else if (read_ok) {
    for (const romtools::MarkerFind& find : build_types) report_build_type(find);
  }
  if (!read_ok) {
    ErrorLine("Error: Cannot read '%s'\n", options.path);
    return kExitCannotOpen;
  }
  if (mismatch) {
    ErrorLine("** Error: Build type mismatch\n");
    result |= kBuildTypeMismatchBit;
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "Error: Cannot write 'stdout'\n");
}
