// Block colour selection: the colours of one 4x4 block, chosen directly for
// blocks of at most two distinct colours, by luminance order (HiLow) or by an
// exhaustive least-error search (RoundRobin).
#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_tex4x4_colors.h"
#include "kelvane_tex4x4_mode.h"

namespace Kelvane {

namespace internal {

namespace {

inline unsigned char LuminanceKey(const tTLBRGB& c) {
  return static_cast<unsigned char>((77u * c.red + 151u * c.green + 28u * c.blue) >> 8);
}

// Colour lists of a block hold at most 16 colours; longer lists (a host's own
// call) take heap storage.
class Scratch {
 public:
  explicit Scratch(unsigned int n) {
    if (n > kInline) heap_.resize(n);
  }
  tTLBRGB* data() { return heap_.empty() ? inline_ : heap_.data(); }

 private:
  static constexpr unsigned int kInline = 16;
  tTLBRGB inline_[kInline] = {};
  std::vector<tTLBRGB> heap_;
};

// The exhaustive search, on a table of distances: row e of `distance` holds
// the distance from colour e to every colour c (padded with zeros up to the
// row width, which therefore adds nothing to a sum).
//
// Pruning: every candidate that extends a partial choice costs at least the sum
// over the colours of the smallest distance to the partial choice or to any
// colour still to come. When that bound reaches the best cost, none of them can
// become the best (only a strictly smaller cost does). The costs are sums in
// unsigned 32-bit arithmetic, which may wrap on blocks of extreme contrast; the
// bound is only used when no candidate's sum can reach 2^32, so that every
// wrapped sum equals the true one.
template <typename Width>
class RoundRobinSearch {
 public:
  RoundRobinSearch(const tTLBRGB* colours, unsigned int n, Width width, uint32_t* storage)
      : colours_(colours), n_(n), width_(width), distance_(storage), rest_min_(storage + n * width()) {
    const unsigned int w = width_();
    for (unsigned int c = 0; c < w; ++c) {
      for (unsigned int e = 0; e < n; ++e) distance_[e * w + c] = c < n ? Tex4x4Distance(colours[e], colours[c]) : 0;
    }
    // rest_min_ row j: the smallest distance of each colour to colours j..n-1.
    for (unsigned int c = 0; c < w; ++c) rest_min_[n * w + c] = c < n ? std::numeric_limits<uint32_t>::max() : 0;
    for (unsigned int j = n; j-- > 0;) {
      for (unsigned int c = 0; c < w; ++c) rest_min_[j * w + c] = std::min(rest_min_[(j + 1) * w + c], distance_[j * w + c]);
    }
  }

  /// Fills `best` with the chosen indices, outermost loop first.
  void Run(unsigned int k, bool transparent, unsigned int* best) {
    // No cost exceeds the sum over the colours of each one's largest distance,
    // less the k smallest of those terms (a chosen colour adds 0).
    const unsigned int w = width_();
    uint32_t inline_largest[kMaxWidth];
    std::vector<uint32_t> heap;
    uint32_t* largest = inline_largest;
    if (n_ > kMaxWidth) {
      heap.resize(n_);
      largest = heap.data();
    }
    for (unsigned int c = 0; c < n_; ++c) {
      largest[c] = 0;
      for (unsigned int e = 0; e < n_; ++e) largest[c] = std::max(largest[c], distance_[e * w + c]);
    }
    std::sort(largest, largest + n_);
    uint64_t bound = 0;
    for (unsigned int c = std::min(k, n_); c < n_; ++c) bound += largest[c];
    prune_ = bound <= std::numeric_limits<uint32_t>::max();
    best_cost_ = std::numeric_limits<uint32_t>::max();
    for (unsigned int i = 0; i < k; ++i) best[i] = i;
    if (k == 2) {
      RunTwo(transparent, best);
    } else if (k == 3) {
      RunThree(best);
    } else {
      RunFour(best);
    }
  }

 private:
  static constexpr unsigned int kMaxWidth = 16;

  const uint32_t* Row(unsigned int e) const { return distance_ + e * width_(); }

  uint32_t Sum(const uint32_t* m) const {
    uint32_t sum = 0;
    for (unsigned int c = 0; c < width_(); ++c) sum += m[c];
    return sum;
  }
  uint32_t SumMin(const uint32_t* a, const uint32_t* b) const {
    uint32_t sum = 0;
    for (unsigned int c = 0; c < width_(); ++c) sum += std::min(a[c], b[c]);
    return sum;
  }
  void Min(const uint32_t* a, const uint32_t* b, uint32_t* out) const {
    for (unsigned int c = 0; c < width_(); ++c) out[c] = std::min(a[c], b[c]);
  }
  // True when no candidate extending the partial minimum `m` can win; the
  // colours still to choose come from `next` on.
  bool Hopeless(const uint32_t* m, unsigned int next) const {
    return prune_ && SumMin(m, rest_min_ + next * width_()) >= best_cost_;
  }
  // Records a candidate; true when the search is over (cost 0).
  bool Offer(uint32_t cost, const unsigned int* indices, unsigned int k, unsigned int* best) {
    if (cost >= best_cost_) return false;
    best_cost_ = cost;
    for (unsigned int i = 0; i < k; ++i) best[i] = indices[i];
    return cost == 0;
  }

  void RunFour(unsigned int* best) {
    std::vector<uint32_t> heap;
    uint32_t inline_rows[3 * kMaxWidth];
    uint32_t* m2 = inline_rows;
    if (width_() > kMaxWidth) {
      heap.resize(3 * width_());
      m2 = heap.data();
    }
    uint32_t* m3 = m2 + width_();
    const unsigned int n = n_;
    unsigned int t[4];
    for (t[0] = 0; t[0] + 3 < n; ++t[0]) {
      const uint32_t* m1 = Row(t[0]);
      if (Hopeless(m1, t[0] + 1)) continue;
      for (t[1] = t[0] + 1; t[1] + 2 < n; ++t[1]) {
        Min(m1, Row(t[1]), m2);
        if (Hopeless(m2, t[1] + 1)) continue;
        for (t[2] = t[1] + 1; t[2] + 1 < n; ++t[2]) {
          Min(m2, Row(t[2]), m3);
          if (Hopeless(m3, t[2] + 1)) continue;
          for (t[3] = t[2] + 1; t[3] < n; ++t[3]) {
            if (Offer(SumMin(m3, Row(t[3])), t, 4, best)) return;
          }
        }
      }
    }
  }

  void RunThree(unsigned int* best) {
    std::vector<uint32_t> heap;
    uint32_t inline_row[kMaxWidth];
    uint32_t* m2 = inline_row;
    if (width_() > kMaxWidth) {
      heap.resize(width_());
      m2 = heap.data();
    }
    const unsigned int n = n_;
    unsigned int t[3];
    for (t[0] = 0; t[0] + 2 < n; ++t[0]) {
      const uint32_t* m1 = Row(t[0]);
      if (Hopeless(m1, t[0] + 1)) continue;
      for (t[1] = t[0] + 1; t[1] + 1 < n; ++t[1]) {
        Min(m1, Row(t[1]), m2);
        if (Hopeless(m2, t[1] + 1)) continue;
        for (t[2] = t[1] + 1; t[2] < n; ++t[2]) {
          if (Offer(SumMin(m2, Row(t[2])), t, 3, best)) return;
        }
      }
    }
  }

  // Two chosen colours, scored with their interpolated colours; the candidate
  // list is colour t1 first, then colour t0.
  void RunTwo(bool transparent, unsigned int* best) {
    const unsigned int n = n_;
    unsigned int t[2];
    for (t[0] = 0; t[0] + 1 < n; ++t[0]) {
      for (t[1] = t[0] + 1; t[1] < n; ++t[1]) {
        tTLBRGB list[4] = {colours_[t[1]], colours_[t[0]], {0, 0, 0}, {0, 0, 0}};
        const unsigned int entries = Tex4x4ExpandTwo(list, transparent);
        const uint32_t* d0 = Row(t[1]);
        const uint32_t* d1 = Row(t[0]);
        uint32_t cost = 0;
        for (unsigned int c = 0; c < n; ++c) {
          uint32_t m = std::min(d0[c], d1[c]);
          for (unsigned int e = 2; e < entries; ++e) m = std::min(m, Tex4x4Distance(list[e], colours_[c]));
          cost += m;
        }
        if (Offer(cost, t, 2, best)) return;
      }
    }
  }

  const tTLBRGB* colours_;
  unsigned int n_;
  Width width_;
  uint32_t* distance_;
  uint32_t* rest_min_;
  bool prune_ = false;
  uint32_t best_cost_ = 0;
};

struct FixedWidth {
  constexpr unsigned int operator()() const { return 16; }
};
struct RuntimeWidth {
  unsigned int width;
  unsigned int operator()() const { return width; }
};

}  // namespace

void SortByLuminanceDescending(tTLBRGB* colours, unsigned int n) {
  if (n < 2) return;
  unsigned char inline_keys[16];
  std::vector<unsigned char> heap_keys;
  unsigned char* keys = inline_keys;
  if (n > 16) {
    heap_keys.resize(n);
    keys = heap_keys.data();
  }
  for (unsigned int i = 0; i < n; ++i) keys[i] = LuminanceKey(colours[i]);
  // The selection sort of the palette's luminance order: the first strictly
  // brighter key found is exchanged into place.
  for (unsigned int p = 0; p < n; ++p) {
    unsigned char extreme = keys[p];
    unsigned int at = p;
    for (unsigned int q = p + 1; q < n; ++q) {
      if (keys[q] > extreme) {
        extreme = keys[q];
        at = q;
      }
    }
    keys[at] = keys[p];
    keys[p] = extreme;
    std::swap(colours[at], colours[p]);
  }
}

unsigned int SetPaletteColours(const tTLBRGB* distinct, unsigned int m, bool transparent, tTLBRGB* out) {
  tTLBRGB sorted[4];
  for (unsigned int i = 0; i < m && i < 4; ++i) sorted[i] = distinct[i];
  if (m >= 2 && m <= 4) SortByLuminanceDescending(sorted, m);
  switch (m) {
    case 0:
      return 0;
    case 1:
      out[0] = sorted[0];
      return 1;
    case 2:
      out[0] = sorted[0];
      out[1] = sorted[1];
      return 2;
    case 3:
      out[0] = sorted[0];
      out[1] = sorted[2];
      out[2] = sorted[1];
      return 3;
    default:
      out[0] = sorted[0];
      out[1] = sorted[3];
      out[2] = sorted[1];
      if (transparent) return 3;
      out[3] = sorted[2];
      return 4;
  }
}

unsigned int HiLowColours(const tTLBRGB* colours, unsigned int n, bool transparent, bool two_colours,
                          tTLBRGB* out) {
  if (n == 0) return 0;
  Scratch storage(n);
  tTLBRGB* sorted = storage.data();
  std::copy(colours, colours + n, sorted);
  SortByLuminanceDescending(sorted, n);
  out[0] = sorted[0];
  out[1] = sorted[n - 1];
  if (two_colours) return 2;
  if (transparent) {
    out[2] = sorted[(n - 1) / 2];
    return 3;
  }
  out[2] = sorted[(n - 1) / 3];
  out[3] = sorted[2 * (n - 1) / 3];
  return 4;
}

unsigned int RoundRobinColours(const tTLBRGB* colours, unsigned int n, bool transparent, bool two_colours,
                               tTLBRGB* out) {
  const unsigned int k = two_colours ? 2 : transparent ? 3 : 4;
  unsigned int best[4];
  if (n <= 16) {
    uint32_t storage[33 * 16];  // distances, then the n + 1 rows of smallest distances
    RoundRobinSearch<FixedWidth> search(colours, n, FixedWidth{}, storage);
    search.Run(k, transparent, best);
  } else {
    std::vector<uint32_t> storage((2 * size_t{n} + 1) * n);
    RoundRobinSearch<RuntimeWidth> search(colours, n, RuntimeWidth{n}, storage.data());
    search.Run(k, transparent, best);
  }
  // Innermost index first, then brightest, darkest, the rest bright to dark.
  for (unsigned int i = 0; i < k; ++i) out[i] = colours[best[k - 1 - i]];
  SortByLuminanceDescending(out, k);
  std::swap(out[1], out[k - 1]);
  if (k == 4) std::swap(out[2], out[3]);
  return k;
}

unsigned int ChooseBlockColours(const tTLBRGB* colours, unsigned int n, bool transparent, unsigned int algorithm,
                                tTLBRGB* out) {
  tTLBRGB distinct[3];
  unsigned int m = 0;
  for (unsigned int i = 0; i < n && m < 3; ++i) {
    bool seen = false;
    for (unsigned int j = 0; j < m && !seen; ++j) seen = SameColour(distinct[j], colours[i]);
    if (!seen) distinct[m++] = colours[i];
  }
  if (m <= 2) return SetPaletteColours(distinct, m, transparent, out);
  switch (algorithm) {
    case CDefaultColorProcessor::ALGORITHM_HILOW:
      return HiLowColours(colours, n, transparent, false, out);
    case CDefaultColorProcessor::ALGORITHM_HILOW_LINEAR:
      return HiLowColours(colours, n, transparent, true, out);
    case CDefaultColorProcessor::ALGORITHM_ROUNDROBIN:
      return RoundRobinColours(colours, n, transparent, false, out);
    default:
      return RoundRobinColours(colours, n, transparent, true, out);
  }
}

}  // namespace internal

namespace {

std::vector<tTLBRGB> Colours(const CColorPalette& palette) {
  std::vector<tTLBRGB> out(palette.GetNumber());
  for (unsigned int i = 0; i < out.size(); ++i) palette.GetValue(&out[i].red, &out[i].green, &out[i].blue, i);
  return out;
}

// The output list takes exactly the chosen colours.
void Store(CColorPalette* out, const tTLBRGB* colours, unsigned int count) {
  if (!out->IsAvailable()) {
    out->Create(count, 0, 0, 0);
  } else if (out->GetNumber() != count) {
    out->ChangeNumber(count);
  }
  for (unsigned int i = 0; i < count; ++i) out->SetValue(colours[i].red, colours[i].green, colours[i].blue, i);
}

}  // namespace

bool CDefaultColorProcessor::Get4Color_Tex4x4(CColorPalette* out, bool transparent, const CDirectColorImage* block,
                                              const CAlphaImage* alpha, tAlgorithm algorithm) {
  // An alpha image that does not cover the block cannot say which texels count.
  if (alpha != nullptr && alpha->GetAlphaChannel().GetByteSize() < block->GetNumber()) return false;
  CColorPalette list;
  list.Create(block->GetNumber(), 0, 0, 0);
  CreateColorMemory(&list, block, alpha, 128);
  list.CommonLowerBit(5);
  const std::vector<tTLBRGB> colours = Colours(list);
  tTLBRGB chosen[4];
  const unsigned int count = internal::ChooseBlockColours(
      colours.data(), static_cast<unsigned int>(colours.size()), transparent, algorithm, chosen);
  Store(out, chosen, count);
  return true;
}

bool CDefaultColorProcessor::SetPalette_Tex4x4(CColorPalette* out, const CColorPalette* colours,
                                               bool transparent) {
  const std::vector<tTLBRGB> distinct = Colours(*colours);
  if (distinct.size() > 4) return true;
  tTLBRGB chosen[4];
  const unsigned int count = internal::SetPaletteColours(
      distinct.data(), static_cast<unsigned int>(distinct.size()), transparent, chosen);
  Store(out, chosen, count);
  return true;
}

bool CDefaultColorProcessor::Get4ColorHiLow_Tex4x4(CColorPalette* out, const CColorPalette* colours,
                                                   bool transparent, bool two_colours) {
  const std::vector<tTLBRGB> list = Colours(*colours);
  if (list.empty()) return true;  // nothing to choose from (outside the contract)
  tTLBRGB chosen[4];
  const unsigned int count = internal::HiLowColours(list.data(), static_cast<unsigned int>(list.size()),
                                                    transparent, two_colours, chosen);
  Store(out, chosen, count);
  return true;
}

bool CDefaultColorProcessor::Get4ColorRoundRobin_Tex4x4(CColorPalette* out, const CColorPalette* colours,
                                                        bool transparent, bool two_colours) {
  const std::vector<tTLBRGB> list = Colours(*colours);
  const unsigned int k = two_colours ? 2 : transparent ? 3 : 4;
  if (list.size() < k) return true;  // too few colours to choose from (outside the contract)
  tTLBRGB chosen[4];
  const unsigned int count = internal::RoundRobinColours(list.data(), static_cast<unsigned int>(list.size()),
                                                         transparent, two_colours, chosen);
  Store(out, chosen, count);
  return true;
}

void CDefaultColorProcessor::ConvertLinearColorPalette_Tex4x4(CColorPalette* colours, bool transparent) {
  tTLBRGB list[4] = {};
  for (unsigned int i = 0; i < 2 && i < colours->GetNumber(); ++i) {
    colours->GetValue(&list[i].red, &list[i].green, &list[i].blue, i);
  }
  Store(colours, list, internal::Tex4x4ExpandTwo(list, transparent));
}

}  // namespace Kelvane
