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
/// linear time: key by key, one scan for the key's positions and one exchange
/// per position.
void FastSelectionSortBytes(unsigned char* bytes, unsigned int* index, unsigned int first, unsigned int last,
                            bool descending);

}  // namespace Kelvane::internal
