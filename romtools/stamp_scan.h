// Version and build-type records that the kit's libraries leave in a
// program. Each record is followed directly by an 8-byte marker that starts
// at a file offset that is a multiple of 4: a 32-bit word and its
// byte-reversed form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "image_file.h"

namespace romtools {

/// The markers as little-endian words: first half, second half.
constexpr uint32_t kVersionMarkerFirst = 0xDEC00621;
constexpr uint32_t kVersionMarkerSecond = 0x2106C0DE;
constexpr uint32_t kBuildTypeMarkerFirst = 0xDEC08133;
constexpr uint32_t kBuildTypeMarkerSecond = 0x3381C0DE;

/// The first bytes of a program that decide whether it is a ROM image.
constexpr size_t kStampHeaderSize = 48;

/// True when both ARM9 entry and load address lie in 0x02000000-0x027FFFFF.
bool LooksLikeRomImage(const uint8_t* header);

enum class MarkerKind {
  kVersion,    // 4-byte record, a window of three words
  kBuildType,  // 8-byte record, a window of four words
};

/// The last words read. It starts zeroed and is kept from one scan to the
/// next, so a record that would start before the scanned range comes from
/// what the window still holds.
struct ScanWindow {
  uint32_t word[4] = {0, 0, 0, 0};
};

/// One marker found.
struct MarkerFind {
  uint32_t record[2] = {0, 0};  // the record's words (only [0] for a version record)
  uint64_t end = 0;             // the file position just after the marker
};

/// Reads `file` in whole 4-byte words from `start` (a trailing part word is
/// ignored) and calls `found` for each marker of `kind`, in file order.
/// Returns false on a read error. `block_size` must be a multiple of 4.
bool ScanMarkers(const support::File& file, uint64_t start, MarkerKind kind, ScanWindow* window,
                 const std::function<void(const MarkerFind&)>& found, size_t block_size = kBlockSize);

/// Both scans in one pass over the file. Version finds from `version_start`
/// go to `on_version` as they are met, exactly as ScanMarkers reports them
/// after a zeroed window. Build-type finds from offset 0 whose record has
/// format 1 are appended to `build_types`, the only ones a report shows; what
/// the window held before offset 8 never has format 1, so these are the
/// same as after the version scan. When more than `max_kept` are found the
/// list is dropped and `*too_many` set: the caller then scans build types
/// again with ScanMarkers. Returns false on a read error.
bool ScanVersionsAndBuildTypes(const support::File& file, uint64_t version_start,
                               const std::function<void(const MarkerFind&)>& on_version,
                               std::vector<MarkerFind>* build_types, size_t max_kept, bool* too_many,
                               size_t block_size = kBlockSize);

/// A version record: release step, minor and major version.
struct VersionRecord {
  uint16_t release_step = 0;
  uint8_t minor = 0;
  uint8_t major = 0;
};
VersionRecord DecodeVersionRecord(uint32_t word);

/// How a release step reads: a kind ("FC", "PR", ...; null when it has
/// none), a number and a plus count (each shown only when not zero).
struct ReleaseStep {
  const char* kind = nullptr;
  int number = 0;
  int plus = 0;
};
ReleaseStep ClassifyReleaseStep(uint16_t release_step);

/// A build-type record.
struct BuildTypeRecord {
  uint8_t type_index = 0;
  uint8_t processor = 0;
  uint8_t format = 0;  // only format 1 is reported
};
BuildTypeRecord DecodeBuildTypeRecord(const uint32_t record[2]);

/// "FINALROM", "RELEASE", "DEBUG", "Invalid" (0xFF), or null for an index
/// without a name.
const char* BuildTypeName(uint8_t type_index);

}  // namespace romtools
