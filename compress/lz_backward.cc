#include "lz_backward.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "support/byte_order.h"

namespace backlz {

namespace {

void Report(CompressTracer* tracer, CompressTracePoint point, int source, int stream = 0, int raw_prefix = 0) {
  if (tracer != nullptr) tracer->Trace(point, CompressSizes{source, stream, raw_prefix});
}

// A position is keyed by the bytes ending at it, going down:
// source[x - key + 1 .. x].
template <int kKey>
inline uint32_t KeyHash(const uint8_t* end, int shift) {
  const uint8_t* low = end - kKey + 1;
  uint64_t a;
  uint64_t b = 0;
  if constexpr (kKey == 3) {
    a = uint64_t{low[0]} | (uint64_t{low[1]} << 8) | (uint64_t{low[2]} << 16);
  } else if constexpr (kKey == 6) {
    uint32_t lo;
    uint16_t hi;
    memcpy(&lo, low, 4);
    memcpy(&hi, low + 4, 2);
    a = lo | (uint64_t{hi} << 32);
  } else {
    static_assert(kKey == 12);
    uint32_t hi;
    memcpy(&a, low, 8);
    memcpy(&hi, low + 8, 4);
    b = hi;
  }
  const uint64_t mixed = (a ^ (b * 0x9E3779B97F4A7C15u)) * 0xFF51AFD7ED558CCDu;
  return static_cast<uint32_t>(mixed >> shift);
}

}  // namespace

MatchFinder::MatchFinder(const uint8_t* source, int size)
    : source_(source), size_(size), lowest_inserted_(size) {
  // A chain only ever holds positions of the source, so a source smaller
  // than the largest tables needs about one head per position and one link
  // per position. Which positions share a hash changes only how many
  // candidates are compared, never which match wins.
  const uint32_t positions = size > 1 ? static_cast<uint32_t>(size) : 1;
  const int hash_bits = std::min(kMaxHashBits, std::max(kMinHashBits, static_cast<int>(std::bit_width(positions - 1))));
  hash_shift_ = 64 - hash_bits;
  const size_t ring = std::min<size_t>(kMaxRing, size_t{1} << static_cast<int>(std::bit_width(positions - 1)));
  ring_mask_ = ring - 1;
  const size_t heads = size_t{1} << hash_bits;
  table_.assign(kLevels * (heads + ring), -1);
  for (int level = 0; level < kLevels; ++level) head_[level] = table_.data() + level * heads;
  links_ = table_.data() + kLevels * heads;
}

uint32_t MatchFinder::Hash(int level, int position) const {
  const uint8_t* end = source_ + position;
  switch (level) {
    case 0:
      return KeyHash<kKeyLength[0]>(end, hash_shift_);
    case 1:
      return KeyHash<kKeyLength[1]>(end, hash_shift_);
    default:
      return KeyHash<kKeyLength[2]>(end, hash_shift_);
  }
}

void MatchFinder::InsertAbove(int position) {
  // Locals, since every store into the tables could otherwise change a member
  // as far as the compiler knows.
  const uint8_t* const source = source_;
  const int shift = hash_shift_;
  const size_t ring_mask = ring_mask_;
  int32_t* const head0 = head_[0];
  int32_t* const head1 = head_[1];
  int32_t* const head2 = head_[2];
  int32_t* const links = links_;
  int x = lowest_inserted_;
  while (x > position + 1) {
    --x;
    const uint8_t* end = source + x;
    int32_t* link = links + (static_cast<size_t>(x) & ring_mask) * kLevels;
    if (x >= kKeyLength[2] - 1) {
      int32_t& first = head0[KeyHash<kKeyLength[0]>(end, shift)];
      link[0] = first;
      first = x;
      int32_t& second = head1[KeyHash<kKeyLength[1]>(end, shift)];
      link[1] = second;
      second = x;
      int32_t& third = head2[KeyHash<kKeyLength[2]>(end, shift)];
      link[2] = third;
      third = x;
    } else {
      // The first few bytes of the source: only the shorter keys exist.
      for (int level = 0; level < kLevels && x >= kKeyLength[level] - 1; ++level) {
        int32_t& head = head_[level][Hash(level, x)];
        link[level] = head;
        head = x;
      }
    }
  }
  lowest_inserted_ = x;
}

Match MatchFinder::FindLongestMatch(int n) {
  Match best;
  const int cur = n - 1;
  InsertAbove(cur);
  const int most = n < kMaxMatch ? n : kMaxMatch;
  if (most < kMinMatch) return best;
  const int window = size_ - n < kWindow ? size_ - n : kWindow;
  const int limit = cur + window;
  const uint8_t* p = source_ + cur;
  // Each chain runs from the nearest candidate outwards, so the first
  // candidate reaching a length is the nearest of that length. Only a
  // strictly longer one replaces it.
  int best_length = kMinMatch - 1;
  int level = 0;
  int m = head_[0][Hash(0, cur)];
  while (m >= 0 && m <= limit) {
    const int distance = m - cur;
    const int cap = distance < most ? distance : most;
    if (cap > best_length) {
      const uint8_t* q = source_ + m;
      if (q[-best_length] == p[-best_length]) {
        int length = 0;
        while (length < cap && q[-length] == p[-length]) ++length;
        if (length > best_length) {
          best_length = length;
          best.length = length;
          best.distance = distance;
          if (length == most) break;  // nothing further can be longer
        }
      }
    }
    if (level + 1 < kLevels && best_length >= kKeyLength[level + 1] - 1) {
      // A longer match shares the next level's key: follow that chain from
      // the first candidate beyond this one. (best_length < most <= n, so the
      // key's bytes exist.)
      const int examined = m;
      ++level;
      m = head_[level][Hash(level, cur)];
      while (m >= 0 && m <= examined) m = Next(level, m);
      continue;
    }
    m = Next(level, m);
  }
  return best;
}

int EncodeBackward(const uint8_t* source, int size, uint8_t* dest, int dest_size) {
  MatchFinder finder(source, size);
  int n = size;
  int w = dest_size;
  while (n > 0) {
    if (w < 1) return -1;
    const int flag_at = --w;
    unsigned flags = 0;
    for (int token = 0; token < 8; ++token) {
      flags <<= 1;
      if (n == 0) continue;
      Match match = finder.FindLongestMatch(n);
      if (match.length >= kMinMatch) {
        if (w < 2) return -1;
        unsigned value = (static_cast<unsigned>(match.length - kMinMatch) << 12) |
                         (static_cast<unsigned>(match.distance - kMinMatch) & 0xFFF);
        dest[w - 1] = static_cast<uint8_t>(value >> 8);
        dest[w - 2] = static_cast<uint8_t>(value);
        w -= 2;
        flags |= 1;
        n -= match.length;
      } else {
        if (w < 1) return -1;
        dest[w - 1] = source[n - 1];
        w -= 1;
        n -= 1;
      }
    }
    dest[flag_at] = static_cast<uint8_t>(flags);
  }
  return w;
}

OverwriteCheck CheckOverwrite(int size, const uint8_t* stream, int stream_size) {
  OverwriteCheck check;
  int n = size;         // output bytes still to produce
  int a = stream_size;  // stream bytes still to read
  while (n > 0) {
    if (a < 1) return {-1, 0, 0};
    a -= 1;
    const unsigned flags = stream[a];
    for (int bit = 7; bit >= 0 && n > 0; --bit) {
      if ((flags >> bit) & 1) {
        if (a < 2) return {-1, 0, 0};
        a -= 2;
        n -= (stream[a + 1] >> 4) + kMinMatch;
        if (n < 0) return {-1, 0, 0};
        // Only a match can bring the write position below the read position:
        // a literal lowers both by one, a flag byte only the read position.
        if (n < a) return {0, n, a};
      } else {
        if (a < 1) return {-1, 0, 0};
        a -= 1;
        n -= 1;
      }
    }
  }
  return check;
}

int CompressBackward(uint8_t* buffer, int size, CompressTracer* tracer) {
  if (size < 0) return kFatal;
  std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
  if (!work) {
    Report(tracer, CompressTracePoint::kNoMemory, size);
    return kFatal;
  }
  if (reinterpret_cast<uintptr_t>(buffer) % 4 != 0) {
    Report(tracer, CompressTracePoint::kMisaligned, size);
    return kFatal;
  }
  const int start = EncodeBackward(buffer, size, work.get(), size);
  if (start < 0) {
    Report(tracer, CompressTracePoint::kStreamTooLong, size);
    return kNotCompressible;
  }
  const uint8_t* stream = work.get() + start;
  int stream_size = size - start;
  Report(tracer, CompressTracePoint::kFirstPass, size, stream_size);

  OverwriteCheck check = CheckOverwrite(size, stream, stream_size);
  if (check.result < 0) return kCorruptStream;
  int raw = 0;
  if (check.result == 0) {
    // The bytes dropped are those that expand into input [0, raw); kept raw
    // they are shorter than their tokens, since the tokens outran the output.
    raw = check.raw_prefix;
    stream += check.dropped;
    stream_size -= check.dropped;
    Report(tracer, CompressTracePoint::kRawPrefix, size, stream_size, raw);
  }

  const int stream_end = raw + stream_size;
  // Fill and footer are sized in 64 bits: near 2 GiB they would not fit an int.
  const int64_t footer_at64 = (int64_t{stream_end} + 3) & ~int64_t{3};
  if (footer_at64 + 8 >= size) {
    Report(tracer, CompressTracePoint::kImageNotShorter, size, stream_size, raw);
    return kNotCompressible;
  }
  const int footer_at = static_cast<int>(footer_at64);
  const int image_size = footer_at + 8;
  if (image_size - raw > kMaxRegion) return kRegionTooLarge;

  memmove(buffer + raw, stream, static_cast<size_t>(stream_size));
  memset(buffer + stream_end, 0xFF, static_cast<size_t>(footer_at - stream_end));
  const uint32_t region = static_cast<uint32_t>(image_size - raw);
  const uint32_t footer_length = static_cast<uint32_t>(image_size - stream_end);
  support::StoreLe32(buffer + footer_at, (region & 0xFFFFFF) | (footer_length << 24));
  support::StoreLe32(buffer + footer_at + 4, static_cast<uint32_t>(size - image_size));
  return image_size;
}

}  // namespace backlz
