// Backward-LZ compression: the image can be expanded in place, from the end
// of the data towards its start.
//
// Image of an input of S bytes, T bytes long (T a multiple of 4, T < S):
//   [0, P)          raw prefix, the first P input bytes unchanged
//   [P, P+L)        stream, expanding into input bytes [P, S)
//   [P+L, T-8)      0 to 3 fill bytes 0xFF
//   [T-8, T-4)      (T - P) in the low 24 bits, footer length T - (P+L) on top
//   [T-4, T)        S - T
// The stream is read downwards: a flag byte, then up to eight tokens whose
// kinds come from bit 7 down to bit 0. A literal is one byte; a match is two
// bytes (hi above lo) with length (hi >> 4) + 3 and distance
// ((hi & 0xF) << 8 | lo) + 3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace backlz {

inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 18;
inline constexpr int kWindow = 4098;
/// The region length field has 24 bits.
inline constexpr int kMaxRegion = 0xFFFFFF;

/// Results of CompressBackward below zero.
inline constexpr int kNotCompressible = -1;  // the image would not be shorter
inline constexpr int kFatal = -2;            // no memory, or a misaligned buffer
inline constexpr int kRegionTooLarge = -3;   // T - P would not fit in 24 bits
inline constexpr int kCorruptStream = -4;    // the overwrite check met a broken stream

/// What CompressBackward reports to a tracer, in the order it happens.
enum class CompressTracePoint {
  kNoMemory,         // kFatal: no work buffer of `source` bytes
  kMisaligned,       // kFatal: the buffer's start is not a multiple of 4
  kStreamTooLong,    // kNotCompressible: the stream would not fit in `source` bytes
  kFirstPass,        // the stream of `stream` bytes for `source` input bytes
  kRawPrefix,        // expansion in place needs `raw_prefix` raw bytes; `stream` is what is left
  kImageNotShorter,  // kNotCompressible: with fill and footer the image is not shorter
};

/// The sizes a trace point speaks of (see CompressTracePoint).
struct CompressSizes {
  int source = 0;
  int stream = 0;
  int raw_prefix = 0;
};

/// Receives what CompressBackward finds on its way (debug output).
class CompressTracer {
 public:
  virtual ~CompressTracer() = default;
  virtual void Trace(CompressTracePoint point, const CompressSizes& sizes) = 0;
};

/// Compresses the `size` bytes at `buffer` in place. Returns the image size
/// T with the image in the first T bytes, or one of the results above; the
/// buffer is then unchanged. Prints nothing: `tracer` (when given) hears
/// why and how.
int CompressBackward(uint8_t* buffer, int size, CompressTracer* tracer = nullptr);

/// Encodes `size` source bytes into `dest`, filling it from index
/// `dest_size - 1` downwards. Returns the index at which the stream starts,
/// or -1 when it does not fit into `dest_size` bytes.
int EncodeBackward(const uint8_t* source, int size, uint8_t* dest, int dest_size);

/// A match chosen by the encoder: `length` 0 when no match of kMinMatch or
/// more exists.
struct Match {
  int length = 0;
  int distance = 0;
};

/// Finds, for the greedy encoder walking the source from its end, the longest
/// match in the window: the same choice as comparing every window position
/// (the nearest of equally long candidates, a length never above its
/// distance). Candidates come from hash chains over the 3, 6 and 12 bytes
/// ending at each position; once a match of 5 (or 11) bytes is found, only
/// candidates sharing 6 (or 12) bytes can be longer, and the sparser chain
/// takes over. Its tables grow with the source (about a head and a link per
/// position and level), up to about 480 KiB for more than 16 KiB of source,
/// so that a small source costs little to set up.
class MatchFinder {
 public:
  MatchFinder(const uint8_t* source, int size);

  /// The best match for the bytes below `n` (the next byte to encode is
  /// source[n - 1]); the window holds source[n .. n + 4097]. Calls must come
  /// with `n` decreasing.
  Match FindLongestMatch(int n);

 private:
  static constexpr int kLevels = 3;
  static constexpr int kKeyLength[kLevels] = {3, 6, 12};
  static constexpr int kMinHashBits = 4;
  static constexpr int kMaxHashBits = 15;
  static constexpr int kMaxRing = 8192;  // a power of two above the window

  void InsertAbove(int position);
  uint32_t Hash(int level, int position) const;
  int32_t& Next(int level, int position) {
    return links_[(static_cast<size_t>(position) & ring_mask_) * kLevels + static_cast<size_t>(level)];
  }

  const uint8_t* source_;
  int size_;
  int lowest_inserted_;
  int hash_shift_;                // a 64-bit hash shifted right by this much indexes the heads
  size_t ring_mask_;              // positions modulo the ring
  std::vector<int32_t> table_;    // the heads, then the links
  int32_t* head_[kLevels] = {};   // per level and hash: the lowest position inserted
  int32_t* links_ = nullptr;      // per position (modulo the ring) and level: the next higher one
};

/// Outcome of CheckOverwrite.
struct OverwriteCheck {
  /// 1: in-place expansion of the stream is safe; 0: it is not, keep
  /// `raw_prefix` input bytes raw and drop `dropped` bytes from the low end of
  /// the stream; -1: the stream asks for more output than `size` bytes or
  /// runs out of bytes.
  int result = 1;
  int raw_prefix = 0;
  int dropped = 0;
};

/// Replays the expansion of `stream` (`stream_size` bytes, expanding to
/// `size` bytes) and finds the first point at which the write position would
/// pass below the read position.
OverwriteCheck CheckOverwrite(int size, const uint8_t* stream, int stream_size);

}  // namespace backlz
