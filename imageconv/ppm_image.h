// The PPM module shared by huecast, huemap and huetile: the header reader
// with its own rules, the console colour packing and the first-seen palette
// table. It prints nothing: the converters word their messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/c_text.h"

namespace ppm {

/// The largest pixel data accepted (width x height x 3 bytes).
constexpr long long kMaxPixelBytes = 256LL * 1024 * 1024;

/// What the header reader found.
struct Header {
  long long width = 0;
  long long height = 0;
  long long max_value = 0;
  /// Offset of the pixel data: the start of the line after the maximum value.
  size_t data_offset = 0;
};

/// Why an image was refused.
enum class Refusal {
  kNone,
  kCannotOpen,  // the file could not be opened
  kFolder,      // the path names a folder
  kNotRegular,  // a pipe, a device...
  kReadError,
  kNoMemory,
  kPlainPpm,    // the magic is "P3": a text image
  kNotPpm,      // another magic
  kHeaderEnds,  // the file ends before header token `token`
  kNotNumber,   // header token `token` is not a decimal number
  kMaxValue,    // a maximum value (`value`) other than 255
  kSide,        // a side (token 1 width, 2 height) of `value` pixels, not positive
  kTooLarge,    // more than kMaxPixelBytes of pixel data
  kShortData,   // `have` of the `want` bytes of pixel data
};

/// A refusal and what it concerns, for the converter to word.
struct Problem {
  Refusal what = Refusal::kNone;
  int token = 0;  // header tokens: 0 the magic, 1 width, 2 height, 3 maximum value
  long long value = 0;
  uint64_t have = 0;
  uint64_t want = 0;
};

/// Reads the header at the start of `data`: lines whose first character is
/// '#' are skipped whole; the magic "P6", width, height and maximum value are
/// white-space separated tokens spread over any number of lines; the rest of
/// the line holding the maximum value is discarded. False on a wrong magic, a
/// token that is not a decimal number, or an end before the fourth token;
/// `*problem` (when given) says which.
bool ReadHeader(const uint8_t* data, size_t size, Header* header, Problem* problem = nullptr);

/// True when the image is one the converters take: maximum value 255, both
/// sides positive and at most kMaxPixelBytes of pixel data. `*problem` (when
/// given) says why not.
bool IsConvertible(const Header& header, Problem* problem = nullptr);

/// Bytes of pixel data of a convertible image.
inline size_t PixelBytes(const Header& header) {
  return static_cast<size_t>(header.width) * static_cast<size_t>(header.height) * 3;
}

/// The console colour value of a pixel: bit 15 set, then blue, green, red in
/// five bits each from the top of the channel (the low three bits dropped).
inline uint16_t PackColor(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(0x8000 | (b >> 3) << 10 | (g >> 3) << 5 | (r >> 3));
}

/// Packs `count` pixels (three bytes each) into `out`.
void PackPixels(const uint8_t* rgb, size_t count, uint16_t* out);

/// How loading an image ended.
enum class LoadStatus {
  kOk,
  kCannotConvert,  // unreadable file, bad header, or an image IsConvertible() refuses
  kShortData,      // a good header, but fewer pixel bytes than it announces
};

/// A converter's input: the whole file, its header and its pixel data.
struct Image {
  std::vector<uint8_t> file;
  Header header;
  Problem problem;  // why it was not loaded
  const uint8_t* pixels = nullptr;  // PixelBytes(header) bytes when loaded
  int width() const { return static_cast<int>(header.width); }
  int height() const { return static_cast<int>(header.height); }
  size_t pixel_count() const { return static_cast<size_t>(header.width) * static_cast<size_t>(header.height); }
};

/// Reads the PPM file at `path` (a regular file) whole, with its header.
/// Bytes after the pixel data are ignored. Anything but kOk leaves the
/// reason in `image->problem`.
LoadStatus LoadImage(const std::string& path, Image* image);

/// The converters' value lines: `digits` hexadecimal digits a value, ", "
/// after each when `spaced` (else ","), "\t" before the first value of each
/// line of `per_line` and "\n" after its last; a last partial line gets no
/// line end.
inline support::HexLayout ValueLines(int digits, bool spaced, size_t per_line) {
  return support::HexLayout{digits, false, spaced, per_line, "\t", "\n"};
}

/// An ordered list of distinct colour values, in the order they were first
/// looked up, with a fixed capacity (at most 256). Lookups take constant
/// time: packed colours differ only in their low 15 bits, which index a
/// table of entry numbers.
class PaletteTable {
 public:
  static constexpr int kMaxCapacity = 256;

  /// An empty table; valid() is false when its lookup table could not be
  /// allocated.
  explicit PaletteTable(int capacity);
  bool valid() const { return slots_ != nullptr; }

  /// The index of `color` (a packed value, bit 15 set), appending it when
  /// new; -1 when it is new and the table is full.
  int Lookup(uint16_t color) {
    const int slot = slots_[color & 0x7FFF];
    if (slot != 0) return slot - 1;
    return Append(color);
  }

  /// The entry at `index`; 0 at or beyond the count of entries.
  uint16_t Entry(int index) const { return index >= 0 && index < count_ ? entries_[index] : 0; }
  int count() const { return count_; }
  int capacity() const { return capacity_; }

 private:
  int Append(uint16_t color);

  int capacity_;
  int count_ = 0;
  uint16_t entries_[kMaxCapacity] = {};
  // Entry number + 1 for each 15-bit colour, 0 when not yet seen.
  std::unique_ptr<uint16_t[]> slots_;
};

/// Packs `count` pixels (three bytes each) and looks their colours up in
/// order, storing each index in `indexes`. Returns `count`, or the position
/// of the first pixel whose colour the full table refused (the indexes
/// before it are stored).
size_t IndexPixels(const uint8_t* rgb, size_t count, PaletteTable* table, uint8_t* indexes);

}  // namespace ppm
