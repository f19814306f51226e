// The nearest-colour search, four palette entries at a time.
#include "kelvane_nearest.h"

#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Kelvane::internal {

namespace {

// Added to the distance of padding entries and of the excluded entry: larger
// than any real distance, and the sum still fits a signed 32-bit number.
constexpr int32_t kOutOfRace = int32_t{1} << 30;
constexpr unsigned int kGroup = 4;

}  // namespace

NearestSearch::NearestSearch(const CColorPalette& palette, short excluded) {
  const unsigned int count = palette.GetNumber();
  const unsigned int padded = (count + kGroup - 1) / kGroup * kGroup;
  groups_ = padded / kGroup;
  if (padded <= kInlineEntries) {
    red_green_ = inline_red_green_;
    blue_zero_ = inline_blue_zero_;
    penalty_ = inline_penalty_;
  } else {
    heap_red_green_.resize(2 * size_t{padded});
    heap_blue_zero_.resize(2 * size_t{padded});
    heap_penalty_.resize(padded);
    red_green_ = heap_red_green_.data();
    blue_zero_ = heap_blue_zero_.data();
    penalty_ = heap_penalty_.data();
  }
  const unsigned char* reds = palette.GetRedChannel().GetpData();
  const unsigned char* greens = palette.GetGreenChannel().GetpData();
  const unsigned char* blues = palette.GetBlueChannel().GetpData();
  for (unsigned int i = 0; i < padded; ++i) {
    const bool entry = i < count;
    red_green_[2 * i] = static_cast<int16_t>(entry ? 30 * reds[i] : 0);
    red_green_[2 * i + 1] = static_cast<int16_t>(entry ? 59 * greens[i] : 0);
    blue_zero_[2 * i] = static_cast<int16_t>(entry ? 11 * blues[i] : 0);
    blue_zero_[2 * i + 1] = 0;
    penalty_[i] = !entry || static_cast<int>(i) == excluded ? kOutOfRace : 0;
  }
}

unsigned char NearestSearch::Find(unsigned char red, unsigned char green, unsigned char blue) const {
  const unsigned int groups = groups_;
  int32_t best_distance[kGroup];
  int32_t best_index[kGroup];
#if defined(__SSE2__)
  // Each 32-bit lane holds the pair (30 r, 59 g) or (11 b, 0); multiply-add of
  // the difference with itself gives the weighted squares of the pair, summed.
  const __m128i query_rg = _mm_set1_epi32(static_cast<int>((59u * green) << 16 | (30u * red)));
  const __m128i query_b = _mm_set1_epi32(static_cast<int>(11u * blue));
  __m128i best = _mm_set1_epi32(std::numeric_limits<int32_t>::max());
  __m128i best_at = _mm_setzero_si128();
  __m128i at = _mm_set_epi32(3, 2, 1, 0);
  const __m128i step = _mm_set1_epi32(kGroup);
  for (unsigned int g = 0; g < groups; ++g) {
    const __m128i rg = _mm_sub_epi16(
        query_rg, _mm_loadu_si128(reinterpret_cast<const __m128i*>(red_green_ + 8 * size_t{g})));
    const __m128i bz =
        _mm_sub_epi16(query_b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue_zero_ + 8 * size_t{g})));
    const __m128i distance =
        _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(rg, rg), _mm_madd_epi16(bz, bz)),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(penalty_ + 4 * size_t{g})));
    // Strictly smaller only: each lane keeps its earliest smallest entry.
    const __m128i smaller = _mm_cmplt_epi32(distance, best);
    best = _mm_or_si128(_mm_and_si128(smaller, distance), _mm_andnot_si128(smaller, best));
    best_at = _mm_or_si128(_mm_and_si128(smaller, at), _mm_andnot_si128(smaller, best_at));
    at = _mm_add_epi32(at, step);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(best_distance), best);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(best_index), best_at);
#else
  for (unsigned int lane = 0; lane < kGroup; ++lane) {
    best_distance[lane] = std::numeric_limits<int32_t>::max();
    best_index[lane] = 0;
  }
  for (unsigned int g = 0; g < groups; ++g) {
    for (unsigned int lane = 0; lane < kGroup; ++lane) {
      const size_t i = size_t{g} * kGroup + lane;
      const int dr = 30 * red - red_green_[2 * i];
      const int dg = 59 * green - red_green_[2 * i + 1];
      const int db = 11 * blue - blue_zero_[2 * i];
      const int32_t distance = dr * dr + dg * dg + db * db + penalty_[i];
      if (distance < best_distance[lane]) {
        best_distance[lane] = distance;
        best_index[lane] = static_cast<int32_t>(i);
      }
    }
  }
#endif
  // The lowest entry among the lanes' smallest distances.
  int32_t distance = best_distance[0];
  int32_t index = best_index[0];
  for (unsigned int lane = 1; lane < kGroup; ++lane) {
    if (best_distance[lane] < distance || (best_distance[lane] == distance && best_index[lane] < index)) {
      distance = best_distance[lane];
      index = best_index[lane];
    }
  }
  // Nothing but padding and the excluded entry: the search's start value.
  if (distance >= kOutOfRace) return 0;
  return static_cast<unsigned char>(index);
}

}  // namespace Kelvane::internal
