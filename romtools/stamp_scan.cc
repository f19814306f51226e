#include "stamp_scan.h"

#include <memory>
#include <new>

#include "rom_header.h"
#include "support/byte_order.h"

namespace romtools {

bool LooksLikeRomImage(const uint8_t* header) {
  constexpr uint32_t kMask = 0xFF800000;
  constexpr uint32_t kMainMemory = 0x02000000;
  const uint32_t entry = HeaderWord(header, kArm9EntryAddress);
  const uint32_t load = HeaderWord(header, kArm9LoadAddress);
  return (entry & kMask) == kMainMemory && (load & kMask) == kMainMemory;
}

bool ScanMarkers(const support::File& file, uint64_t start, MarkerKind kind, ScanWindow* window,
                 const std::function<void(const MarkerFind&)>& found, size_t block_size) {
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[block_size]);
  if (!block) return false;
  const bool version = kind == MarkerKind::kVersion;
  const uint32_t first_half = version ? kVersionMarkerFirst : kBuildTypeMarkerFirst;
  const uint32_t second_half = version ? kVersionMarkerSecond : kBuildTypeMarkerSecond;
  // The version scan moves only the first three words of the window on.
  const size_t kept = version ? 3 : 4;
  uint32_t* const w = window->word;
  for (uint64_t offset = start;;) {
    const long long got = file.ReadAt(offset, block.get(), block_size);
    if (got < 0) return false;
    const size_t words = static_cast<size_t>(got) / 4;
    for (size_t i = 0; i < words; ++i) {
      const uint32_t x = support::LoadLe32(block.get() + 4 * i);
      for (size_t k = 0; k + 1 < kept; ++k) w[k] = w[k + 1];
      w[kept - 1] = x;
      if (x == second_half && w[kept - 2] == first_half) {
        MarkerFind f;
        f.record[0] = w[0];
        if (!version) f.record[1] = w[1];
        f.end = offset + 4 * i + 4;
        found(f);
      }
    }
    offset += 4 * words;
    if (static_cast<size_t>(got) < block_size) return true;  // end of file
  }
}

namespace {

// Both windows of the one-pass scan.
struct DualWindow {
  uint32_t v0 = 0, v1 = 0, v2 = 0;          // version: three words
  uint32_t b0 = 0, b1 = 0, b2 = 0, b3 = 0;  // build type: four words
};

constexpr size_t kChunkWords = 8;

}  // namespace

bool ScanVersionsAndBuildTypes(const support::File& file, uint64_t version_start,
                               const std::function<void(const MarkerFind&)>& on_version,
                               std::vector<MarkerFind>* build_types, size_t max_kept, bool* too_many,
                               size_t block_size) {
  build_types->clear();
  *too_many = false;
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[block_size]);
  if (!block) return false;
  DualWindow w;
  uint64_t offset = 0;
  // One word through both windows; words before the version scan's start
  // feed only the build-type window.
  auto step = [&](uint32_t x, uint64_t end) {
    if (end > version_start) {
      w.v0 = w.v1;
      w.v1 = w.v2;
      w.v2 = x;
      if (x == kVersionMarkerSecond && w.v1 == kVersionMarkerFirst) {
        MarkerFind f;
        f.record[0] = w.v0;
        f.end = end;
        on_version(f);
      }
    }
    w.b0 = w.b1;
    w.b1 = w.b2;
    w.b2 = w.b3;
    w.b3 = x;
    if (x == kBuildTypeMarkerSecond && w.b2 == kBuildTypeMarkerFirst && (w.b1 & 0xFF) == 1 && !*too_many) {
      if (build_types->size() >= max_kept) {
        *too_many = true;
        build_types->clear();
        build_types->shrink_to_fit();
      } else {
        MarkerFind f;
        f.record[0] = w.b0;
        f.record[1] = w.b1;
        f.end = end;
        build_types->push_back(f);
      }
    }
  };
  for (;;) {
    const long long got = file.ReadAt(offset, block.get(), block_size);
    if (got < 0) return false;
    const size_t words = static_cast<size_t>(got) / 4;
    const uint8_t* p = block.get();
    size_t i = 0;
    // Words up to the version scan's start, one at a time.
    for (; i < words && offset + 4 * i < version_start; ++i) step(support::LoadLe32(p + 4 * i), offset + 4 * i + 4);
    // Then chunks of words: most hold no second marker half and only move
    // the windows on by their last words.
    for (; i + kChunkWords <= words; i += kChunkWords) {
      uint32_t x[kChunkWords];
      bool hit = false;
      for (size_t k = 0; k < kChunkWords; ++k) {
        x[k] = support::LoadLe32(p + 4 * (i + k));
        hit |= (x[k] == kVersionMarkerSecond) | (x[k] == kBuildTypeMarkerSecond);
      }
      if (hit) {
        for (size_t k = 0; k < kChunkWords; ++k) step(x[k], offset + 4 * (i + k) + 4);
      } else {
        w.v0 = x[5];
        w.v1 = x[6];
        w.v2 = x[7];
        w.b0 = x[4];
        w.b1 = x[5];
        w.b2 = x[6];
        w.b3 = x[7];
      }
    }
    for (; i < words; ++i) step(support::LoadLe32(p + 4 * i), offset + 4 * i + 4);
    offset += 4 * words;
    if (static_cast<size_t>(got) < block_size) return true;  // end of file
  }
}

VersionRecord DecodeVersionRecord(uint32_t word) {
  VersionRecord r;
  r.release_step = static_cast<uint16_t>(word & 0xFFFF);
  r.minor = static_cast<uint8_t>(word >> 16);
  r.major = static_cast<uint8_t>(word >> 24);
  return r;
}

ReleaseStep ClassifyReleaseStep(uint16_t release_step) {
  const int r = release_step;
  ReleaseStep s;
  s.number = (r % 10000) / 100;
  s.plus = r % 100;
  if (r / 100 == 200) {
    s.kind = "FC";
  } else if (r / 100 == 106 && s.plus == 50) {
    s.kind = "IPL";
    s.number = 0;
    s.plus = 0;
  } else if (r / 100 == 106) {
    s.kind = "PR";
    if (s.plus > 50) s.plus -= 50;
  } else if (r / 100 == 300) {
    s.kind = "RELEASE";
  } else if (r / 10000 == 0) {
    s.kind = "test";
  } else if (r / 10000 == 1) {
    s.kind = "PR";
  } else if (r / 10000 == 2) {
    s.kind = "RC";
  }
  return s;
}

BuildTypeRecord DecodeBuildTypeRecord(const uint32_t record[2]) {
  BuildTypeRecord b;
  b.type_index = static_cast<uint8_t>(record[0]);
  b.processor = static_cast<uint8_t>(record[0] >> 8);
  b.format = static_cast<uint8_t>(record[1]);
  return b;
}

const char* BuildTypeName(uint8_t type_index) {
  switch (type_index) {
    case 0:
      return "FINALROM";
    case 1:
      return "RELEASE";
    case 2:
      return "DEBUG";
    case 0xFF:
      return "Invalid";
    default:
      return nullptr;
  }
}

}  // namespace romtools
