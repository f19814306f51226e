// Byte sorts that reproduce the order of the library's selection sort.
#pragma once

#include <cstdint>

namespace Kelvane::internal {

/// The selection sort as the library defines it: for each position p from
/// `first` to `last`, the first strictly more extreme byte at or after p is
/// exchanged into p (with its `index` entry when `index` is not null).
/// Quadratic; used for short ranges.
void SelectionSortBytes(unsigned char* bytes, unsigned int* index, unsigned int first, unsigned int last,
                        bool descending);

/// The same result as SelectionSortBytes, bytes and index array alike, in
/// O(n log n): per key value a min-heap of the positions that still hold it.
void FastSelectionSortBytes(unsigned char* bytes, unsigned int* index, unsigned int first,
                            unsigned int last, bool descending);

}  // namespace Kelvane::internal
