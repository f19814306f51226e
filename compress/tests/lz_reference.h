// The backward-LZ encoder written the plain way: every window position is
// compared for every encoded byte. Slow, obviously right, and the yardstick
// for the fast encoder.
#pragma once

#include <cstdint>
#include <vector>

namespace lz_reference {

/// Stream into dest[returned index .. dest_size - 1], or -1 when it does not fit.
int EncodeBackward(const uint8_t* source, int size, uint8_t* dest, int dest_size);

/// The whole image, or an empty vector when the input is not compressible.
std::vector<uint8_t> CompressBackward(const std::vector<uint8_t>& input);

}  // namespace lz_reference
