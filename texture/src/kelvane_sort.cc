#include "kelvane_sort.h"

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

namespace {

// A binary min-heap of positions in a fixed slice of a shared buffer.
struct PositionHeap {
  uint32_t* items;
  uint32_t size;

  void SiftDown(uint32_t hole, uint32_t value) {
    for (;;) {
      uint32_t child = 2 * hole + 1;
      if (child >= size) break;
      if (child + 1 < size && items[child + 1] < items[child]) ++child;
      if (items[child] >= value) break;
      items[hole] = items[child];
      hole = child;
    }
    items[hole] = value;
  }
  void Pop() {
    --size;
    if (size > 0) SiftDown(0, items[size]);
  }
  void ReplaceTop(uint32_t value) { SiftDown(0, value); }
};

}  // namespace

// Why this gives the selection sort's order: at step p the positions below p
// are final and every position at or after p still takes part. The literal scan
// picks the extreme key and, among the positions holding it, the lowest one
// (equal keys never replace the extreme). The exchange moves the key that was
// at p to that position. So it is enough to know, per key value, which
// positions at or after p hold it, and their minimum: p itself always is the
// minimum of the heap of its own key.
void FastSelectionSortBytes(unsigned char* bytes, unsigned int* index, unsigned int first,
                            unsigned int last, bool descending) {
  if (first >= last) return;
  const uint64_t n = uint64_t{last} - first + 1;
  uint64_t count[256] = {};
  for (uint64_t i = 0; i < n; ++i) ++count[bytes[first + i]];
  std::vector<uint32_t> buffer(n);
  PositionHeap heaps[256];
  uint64_t start = 0;
  for (int v = 0; v < 256; ++v) {
    heaps[v].items = buffer.data() + start;
    heaps[v].size = 0;
    start += count[v];
  }
  // Positions go in ascending, so each slice is already a valid min-heap.
  for (uint64_t i = 0; i < n; ++i) {
    PositionHeap& h = heaps[bytes[first + i]];
    h.items[h.size++] = static_cast<uint32_t>(i);
  }
  int key = descending ? 255 : 0;
  const int step = descending ? -1 : 1;
  for (uint64_t i = 0; i < n; ++i) {
    while (heaps[key].size == 0) key += step;
    PositionHeap& best = heaps[key];
    const uint32_t q = best.items[0];
    best.Pop();
    if (q == i) continue;  // p already holds the extreme
    unsigned char* at_p = bytes + first + i;
    const unsigned char old = *at_p;
    // p leaves its key's heap (it is that heap's minimum) and q joins it.
    heaps[old].ReplaceTop(q);
    bytes[first + q] = old;
    *at_p = static_cast<unsigned char>(key);
    if (index != nullptr) std::swap(index[first + i], index[first + q]);
  }
}

}  // namespace Kelvane::internal
