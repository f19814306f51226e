#include "lz_reference.h"

#include <algorithm>

#include "support/byte_order.h"

namespace lz_reference {

int EncodeBackward(const uint8_t* source, int size, uint8_t* dest, int dest_size) {
  int n = size;
  int w = dest_size;
  while (n > 0) {
    if (w < 1) return -1;
    int flag_at = w - 1;
    unsigned flags = 0;
    w -= 1;
    for (int pass = 0; pass < 8; ++pass) {
      flags <<= 1;
      if (n == 0) continue;
      int most = std::min(n, 18);
      int window = std::min(size - n, 4098);
      int best = 0;
      int best_i = 0;
      for (int i = 0; i < window; ++i) {
        if (source[n + i] != source[n - 1]) continue;
        int l = 0;
        while (l < std::min(most, i + 1) && source[n - 1 - l] == source[n + i - l]) ++l;
        if (l > best) {
          best = l;
          best_i = i;
        }
      }
      if (best >= 3) {
        if (w < 2) return -1;
        unsigned value =
            (static_cast<unsigned>(best - 3) << 12) | (static_cast<unsigned>(best_i - 2) & 0xFFF);
        dest[w - 1] = static_cast<uint8_t>(value >> 8);
        dest[w - 2] = static_cast<uint8_t>(value & 0xFF);
        w -= 2;
        flags |= 1;
        n -= best;
      } else {
        if (w < 1) return -1;
        dest[w - 1] = source[n - 1];
        w -= 1;
        n -= 1;
      }
    }
    dest[flag_at] = static_cast<uint8_t>(flags & 0xFF);
  }
  return w;
}

std::vector<uint8_t> CompressBackward(const std::vector<uint8_t>& input) {
  const int size = static_cast<int>(input.size());
  std::vector<uint8_t> work(input.size());
  int start = EncodeBackward(input.data(), size, work.data(), size);
  if (start < 0) return {};
  int stream_start = start;
  int stream_size = size - start;

  // Replay the expansion; cut where the write position passes the read position.
  int raw = 0;
  int n = size;
  int a = stream_size;
  const uint8_t* stream = work.data() + start;
  bool cut = false;
  while (n > 0 && !cut) {
    a -= 1;
    unsigned flags = stream[a];
    for (int bit = 7; bit >= 0 && n > 0; --bit) {
      if (flags & (1u << bit)) {
        a -= 2;
        n -= (stream[a + 1] >> 4) + 3;
        if (n < a) {
          raw = n;
          stream_start += a;
          stream_size -= a;
          cut = true;
          break;
        }
      } else {
        a -= 1;
        n -= 1;
      }
    }
  }

  int stream_end = raw + stream_size;
  int footer_at = stream_end % 4 == 0 ? stream_end : stream_end + 4 - stream_end % 4;
  int image_size = footer_at + 8;
  if (image_size >= size) return {};
  std::vector<uint8_t> image(static_cast<size_t>(image_size), 0xFF);
  std::copy(input.begin(), input.begin() + raw, image.begin());
  std::copy(work.begin() + stream_start, work.begin() + stream_start + stream_size, image.begin() + raw);
  uint32_t first =
      static_cast<uint32_t>(image_size - raw) | (static_cast<uint32_t>(image_size - stream_end) << 24);
  uint32_t second = static_cast<uint32_t>(size - image_size);
  support::StoreLe32(image.data() + footer_at, first);
  support::StoreLe32(image.data() + footer_at + 4, second);
  return image;
}

}  // namespace lz_reference
