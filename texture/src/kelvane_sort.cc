#include "kelvane_sort.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace Kelvane::internal {

void SelectionSortBytes(unsigned char* bytes, unsigned int* index, unsigned int first, unsigned int last,
                        bool descending) {
  if (first >= last) return;
  for (unsigned int p = first;; ++p) {
    unsigned char extreme = bytes[p];
    unsigned int at = p;
    unsigned int remembered = index != nullptr ? index[p] : 0;
    for (unsigned int q = p + 1; q <= last && q != 0; ++q) {
      if (descending ? bytes[q] > extreme : bytes[q] < extreme) {
        extreme = bytes[q];
        at = q;
        if (index != nullptr) remembered = index[q];
      }
    }
    bytes[at] = bytes[p];
    bytes[p] = extreme;
    if (index != nullptr) {
      index[at] = index[p];
      index[p] = remembered;
    }
    if (p == last) break;
  }
}

// Why this gives the selection sort's order: at step p the positions below p
// are final. The scan picks the most extreme key among the positions from p
// on and, among those holding it, the lowest (equal keys never replace the
// extreme). So the steps go key by key in sort order, each key filling the
// next block of as many positions as it has occurrences. During a key's turn
// its remaining occurrences stay where they are: each exchange takes the
// lowest of them into the block and puts the byte it meets there in its place.
// So listing the key's positions when its turn starts gives every exchange
// partner, in order. The bytes are scanned once per key, so the work is linear.
void FastSelectionSortBytes(unsigned char* bytes, unsigned int* index, unsigned int first, unsigned int last,
                            bool descending) {
  if (first >= last) return;
  const uint64_t end = uint64_t{last} + 1;
  uint64_t count[256] = {};
  for (uint64_t i = first; i < end; ++i) ++count[bytes[i]];
  uint64_t longest = 0;
  for (uint64_t c : count) longest = std::max(longest, c);
  std::vector<uint64_t> positions(longest);

  uint64_t p = first;
  for (int step = 0; step < 256; ++step) {
    const int key = descending ? 255 - step : step;
    const uint64_t c = count[key];
    if (c == 0) continue;
    // The key's positions from p on, in order (none lies below p).
    uint64_t found = 0;
    const unsigned char* at = bytes + p;
    while (found < c) {
      at = static_cast<const unsigned char*>(std::memchr(at, key, static_cast<size_t>(bytes + end - at)));
      positions[found++] = static_cast<uint64_t>(at - bytes);
      ++at;
    }
    for (uint64_t k = 0; k < c; ++k, ++p) {
      const uint64_t q = positions[k];
      if (q == p) continue;
      bytes[q] = bytes[p];
      bytes[p] = static_cast<unsigned char>(key);
      if (index != nullptr) std::swap(index[p], index[q]);
    }
  }
}

}  // namespace Kelvane::internal
