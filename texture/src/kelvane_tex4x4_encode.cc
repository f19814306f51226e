// The 4x4-block encoder of the default colour processor: block images, colour
// choice and texel indices per block, palette runs (shared between blocks when
// asked), and the reduction of a palette of more than 32768 entries.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <thread>
#include <typeinfo>
#include <unordered_map>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_tex4x4_colors.h"
#include "kelvane_tex4x4_mode.h"

namespace Kelvane {

namespace {

using internal::SameColour;

struct Tolerance {
  unsigned char red, green, blue;
  bool Zero() const { return red == 0 && green == 0 && blue == 0; }
};

inline bool Near(const tTLBRGB& a, const tTLBRGB& b, const Tolerance& t) {
  return std::abs(a.red - b.red) <= t.red && std::abs(a.green - b.green) <= t.green &&
         std::abs(a.blue - b.blue) <= t.blue;
}

inline uint32_t Pack(const tTLBRGB& c) { return (uint32_t{c.red} << 16) | (uint32_t{c.green} << 8) | c.blue; }

// The palette being built, with an index of its runs: Find gives the lowest
// even position p whose entries p to p + m - 1 all lie below the used count
// and match the given colours within the tolerances, the same answer as a scan
// from position 0, without the scan. Exact matching hashes each position's
// first m entries (m = 1 to 4); with tolerances, positions are kept in cells of
// a grid over their first entry's colour, and only the cells within reach of
// the first colour are looked at.
class RunIndex {
 public:
  RunIndex(Tolerance tolerance, bool indexing) : tolerance_(tolerance), indexing_(indexing) {
    if (!indexing_) return;
    if (tolerance_.Zero()) {
      exact_.resize(1024);
      return;
    }
    cells_per_channel_[0] = 255u / CellWidth(tolerance_.red) + 1;
    cells_per_channel_[1] = 255u / CellWidth(tolerance_.green) + 1;
    cells_per_channel_[2] = 255u / CellWidth(tolerance_.blue) + 1;
    const uint64_t cells = uint64_t{cells_per_channel_[0]} * cells_per_channel_[1] * cells_per_channel_[2];
    if (cells <= kMaxFlatCells) flat_cells_.resize(static_cast<size_t>(cells));
  }

  unsigned int used() const { return static_cast<unsigned int>(entries_.size()); }
  const std::vector<tTLBRGB>& entries() const { return entries_; }

  void Append(const tTLBRGB* colours, unsigned int count) {
    const unsigned int old = used();
    // push_back rather than a range insert: the range insert's move iterators
    // would drag a standard-library object into the exported symbols of
    // unoptimised builds.
    for (unsigned int i = 0; i < count; ++i) entries_.push_back(colours[i]);
    if (!indexing_) return;
    const unsigned int now = used();
    if (tolerance_.Zero()) {
      // Position p becomes usable for m colours once p + m <= used.
      for (unsigned int m = 1; m <= 4; ++m) {
        if (now < m) continue;
        unsigned int p = old >= m ? old - m + 1 : 0;
        p += p & 1;
        for (; p + m <= now; p += 2) InsertExact(p, m);
      }
    } else {
      for (unsigned int p = old + (old & 1); p < now; p += 2) {
        // The first two entries ride along, so that most positions of a cell
        // are rejected without reaching into the palette.
        const bool second = p + 1 < now;
        CellAt(Cell(entries_[p])).list.push_back(
            Candidate{p, second, entries_[p], second ? entries_[p + 1] : tTLBRGB{0, 0, 0}});
      }
    }
  }

  int Find(const tTLBRGB* colours, unsigned int m) const {
    if (m == 0) return used() > 0 ? 0 : -1;
    if (tolerance_.Zero()) {
      const Key key = MakeKey(colours, m);
      for (size_t slot = Hash(key) & (exact_.size() - 1);; slot = (slot + 1) & (exact_.size() - 1)) {
        const Slot& s = exact_[slot];
        if (s.key.low == 0) return -1;
        if (s.key.low == key.low && s.key.high == key.high) return static_cast<int>(s.position);
      }
    }
    const tTLBRGB& first = colours[0];
    unsigned int low[3], high[3];
    Reach(first.red, tolerance_.red, &low[0], &high[0]);
    Reach(first.green, tolerance_.green, &low[1], &high[1]);
    Reach(first.blue, tolerance_.blue, &low[2], &high[2]);
    uint64_t best = std::numeric_limits<uint64_t>::max();
    for (unsigned int r = low[0]; r <= high[0]; ++r) {
      for (unsigned int g = low[1]; g <= high[1]; ++g) {
        for (unsigned int b = low[2]; b <= high[2]; ++b) {
          const Positions* cell = FindCell(CellId(r, g, b));
          if (cell == nullptr) continue;
          for (const Candidate& candidate : cell->list) {
            const unsigned int p = candidate.position;
            if (p >= best || p + m > used()) break;
            if (!Near(candidate.first, colours[0], tolerance_)) continue;
            if (m >= 2 && candidate.has_second && !Near(candidate.second, colours[1], tolerance_)) continue;
            if (Matches(p, colours, m)) {
              best = p;
              break;
            }
          }
        }
      }
    }
    return best == std::numeric_limits<uint64_t>::max() ? -1 : static_cast<int>(best);
  }

 private:
  struct Key {
    uint64_t low = 0;  // never 0 for a real key: it holds m >= 1
    uint64_t high = 0;
  };
  struct Slot {
    Key key;
    unsigned int position = 0;
  };

  static Key MakeKey(const tTLBRGB* colours, unsigned int m) {
    uint32_t packed[4] = {0, 0, 0, 0};
    for (unsigned int j = 0; j < m; ++j) packed[j] = Pack(colours[j]);
    Key key;
    key.low = m | (uint64_t{packed[0]} << 8) | (uint64_t{packed[1]} << 32);
    key.high = packed[2] | (uint64_t{packed[3]} << 24);
    return key;
  }
  static size_t Hash(const Key& key) {
    uint64_t h = key.low * 0x9E3779B97F4A7C15ull ^ key.high * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    return static_cast<size_t>(h * 0xBF58476D1CE4E5B9ull >> 17);
  }

  // Keeps the first position of each key: positions arrive in increasing order
  // for each m.
  void InsertExact(unsigned int p, unsigned int m) {
    if (2 * (exact_count_ + 1) > exact_.size()) Grow();
    const Key key = MakeKey(&entries_[p], m);
    for (size_t slot = Hash(key) & (exact_.size() - 1);; slot = (slot + 1) & (exact_.size() - 1)) {
      Slot& s = exact_[slot];
      if (s.key.low == key.low && s.key.high == key.high) return;
      if (s.key.low == 0) {
        s.key = key;
        s.position = p;
        ++exact_count_;
        return;
      }
    }
  }
  void Grow() {
    std::vector<Slot> old(exact_.size() * 2);
    old.swap(exact_);
    for (const Slot& s : old) {
      if (s.key.low == 0) continue;
      size_t slot = Hash(s.key) & (exact_.size() - 1);
      while (exact_[slot].key.low != 0) slot = (slot + 1) & (exact_.size() - 1);
      exact_[slot] = s;
    }
  }

  // Cells are 2 x tolerance + 1 values wide in each channel, so the values
  // within reach of a colour fall into at most two cells per channel.
  static unsigned int CellWidth(unsigned int tolerance) { return 2 * tolerance + 1; }
  uint32_t Cell(const tTLBRGB& c) const {
    return CellId(c.red / CellWidth(tolerance_.red), c.green / CellWidth(tolerance_.green),
                  c.blue / CellWidth(tolerance_.blue));
  }
  uint32_t CellId(unsigned int r, unsigned int g, unsigned int b) const {
    return (r * cells_per_channel_[1] + g) * cells_per_channel_[2] + b;
  }
  static void Reach(unsigned int value, unsigned int tolerance, unsigned int* low, unsigned int* high) {
    *low = (value >= tolerance ? value - tolerance : 0) / CellWidth(tolerance);
    *high = std::min(255u, value + tolerance) / CellWidth(tolerance);
  }
  bool Matches(unsigned int p, const tTLBRGB* colours, unsigned int m) const {
    for (unsigned int j = 0; j < m; ++j) {
      if (!Near(entries_[p + j], colours[j], tolerance_)) return false;
    }
    return true;
  }

  Tolerance tolerance_;
  bool indexing_;
  std::vector<tTLBRGB> entries_;
  std::vector<Slot> exact_;
  size_t exact_count_ = 0;
  // A type of this file as the mapped type keeps the container's code local
  // to the library rather than exported with the standard library's types.
  struct Candidate {
    unsigned int position;
    bool has_second;
    tTLBRGB first, second;
  };
  struct Positions {
    std::vector<Candidate> list;
  };
  // The cells in a plain array when there are few enough of them (every
  // tolerance at least 8 gives at most 16 x 16 x 16), else in a hash map.
  static constexpr uint64_t kMaxFlatCells = uint64_t{1} << 18;
  Positions& CellAt(uint32_t id) {
    if (!flat_cells_.empty()) return flat_cells_[id];
    // find and emplace rather than operator[], whose piecewise construction
    // would export a standard-library object from unoptimised builds.
    auto found = cells_.find(id);
    if (found == cells_.end()) found = cells_.emplace(id, Positions()).first;
    return found->second;
  }
  const Positions* FindCell(uint32_t id) const {
    if (!flat_cells_.empty()) return &flat_cells_[id];
    const auto found = cells_.find(id);
    return found == cells_.end() ? nullptr : &found->second;
  }
  unsigned int cells_per_channel_[3] = {1, 1, 1};
  std::vector<Positions> flat_cells_;
  std::unordered_map<uint32_t, Positions> cells_;
};

std::vector<tTLBRGB> Colours(const CColorPalette& palette) {
  std::vector<tTLBRGB> out(palette.GetNumber());
  for (unsigned int i = 0; i < out.size(); ++i) palette.GetValue(&out[i].red, &out[i].green, &out[i].blue, i);
  return out;
}

void StorePalette(CColorPalette* palette, const std::vector<tTLBRGB>& entries) {
  const auto count = static_cast<unsigned int>(entries.size());
  palette->Create(count, 0, 0, 0);
  for (unsigned int i = 0; i < count; ++i) palette->SetValue(entries[i].red, entries[i].green, entries[i].blue, i);
}

// What a block chose: its colours (0 to 4), in the order they are stored.
struct BlockColours {
  unsigned char count = 0;
  tTLBRGB colours[4] = {};
};

// Steps of the encoder that each block does on its own: block images,
// transparency, colour choice, mode and texel indices.
class BlockEncoder {
 public:
  BlockEncoder(CDefaultColorProcessor* processor, CTexture* texture, bool own_search)
      : processor_(processor), factor_(processor->GetConvertFactor()), own_search_(own_search) {
    const CDirectColorImage& image = texture->GetDirectColorImage();
    width_ = image.GetWidth();
    columns_ = width_ / 4u;
    red_ = image.GetRedChannel().GetpData();
    green_ = image.GetGreenChannel().GetpData();
    blue_ = image.GetBlueChannel().GetpData();
    const CAlphaImage& alpha = texture->GetAlphaImage();
    if (factor_.useTransparency && factor_.useAlphaImage && alpha.IsAvailable()) {
      alpha_ = alpha.GetAlphaChannel().GetpData();
    }
    indices_ = texture->GetColorIndexImage().GetColorIndexData().GetpData();
    attribute_ = texture->GetColorPaletteAttribute().GetpData();
  }

  bool Encode(unsigned int block, BlockColours* chosen) {
    const unsigned int x0 = 4 * (block % columns_), y0 = 4 * (block / columns_);
    tTLBRGB texels[16];
    unsigned char alpha[16];
    bool transparent = false;
    for (unsigned int i = 0; i < 16; ++i) {
      const size_t at = size_t{y0 + i / 4} * width_ + x0 + i % 4;
      texels[i] = {red_[at], green_[at], blue_[at]};
      alpha[i] = 255;
      if (!factor_.useTransparency) continue;
      if (factor_.useAlphaImage) {
        if (alpha_ != nullptr && alpha_[at] < 128) alpha[i] = 0;
      } else if (texels[i].red == factor_.transparentRed && texels[i].green == factor_.transparentGreen &&
                 texels[i].blue == factor_.transparentBlue) {
        alpha[i] = 0;
      }
      transparent = transparent || alpha[i] == 0;
    }

    tTLBRGB opaque[16];
    unsigned int count = 0;
    for (unsigned int i = 0; i < 16; ++i) {
      if (alpha[i] < 128) continue;
      opaque[count++] = {internal::Tex4x4LowerBit5(texels[i].red), internal::Tex4x4LowerBit5(texels[i].green),
                         internal::Tex4x4LowerBit5(texels[i].blue)};
    }
    tTLBRGB list[4] = {};
    const unsigned int n = internal::ChooseBlockColours(opaque, count, transparent, factor_.algorithm, list);
    attribute_[block] = internal::Tex4x4Mode(n, transparent);
    chosen->count = static_cast<unsigned char>(n);
    std::copy(list, list + n, chosen->colours);

    // The two-colour list is matched with its interpolated colours; the
    // texels keep their own colours, not the 5-bit ones.
    const unsigned int entries = n == 2 ? internal::Tex4x4ExpandTwo(list, transparent) : n;
    CColorPalette work;
    if (!own_search_) {
      work.Create(entries, 0, 0, 0);
      for (unsigned int e = 0; e < entries; ++e) work.SetValue(list[e].red, list[e].green, list[e].blue, e);
    }
    for (unsigned int i = 0; i < 16; ++i) {
      unsigned char index = 3;
      if (alpha[i] >= 128) {
        if (own_search_) {
          index = Nearest(list, entries, texels[i]);
        } else {
          const int found = processor_->FindNearColor(&work, texels[i].red, texels[i].green, texels[i].blue, -1);
          if (found == -1) return false;
          index = static_cast<unsigned char>(found);
        }
      }
      indices_[size_t{y0 + i / 4} * width_ + x0 + i % 4] = index;
    }
    return true;
  }

 private:
  // The library's nearest-colour rule on a block's list: the first entry at the
  // smallest distance.
  static unsigned char Nearest(const tTLBRGB* list, unsigned int entries, const tTLBRGB& colour) {
    uint32_t best = std::numeric_limits<uint32_t>::max();
    unsigned int best_index = 0;
    for (unsigned int e = 0; e < entries; ++e) {
      const uint32_t d = internal::Tex4x4Distance(colour, list[e]);
      if (d < best) {
        best = d;
        best_index = e;
        if (d == 0) break;
      }
    }
    return static_cast<unsigned char>(best_index);
  }

  CDefaultColorProcessor* processor_;
  CDefaultColorProcessor::tConvertFactor factor_;
  bool own_search_;
  unsigned int width_ = 0, columns_ = 0;
  const unsigned char *red_ = nullptr, *green_ = nullptr, *blue_ = nullptr, *alpha_ = nullptr;
  unsigned char* indices_ = nullptr;
  unsigned char* attribute_ = nullptr;
};

// Encodes every block on all cores; the blocks are independent here.
bool EncodeInParallel(BlockEncoder* encoder, unsigned int blocks, std::vector<BlockColours>* chosen) {
  constexpr unsigned int kChunk = 64;
  constexpr unsigned int kBlocksPerThread = 256;
  unsigned int threads = std::thread::hardware_concurrency();
  threads = std::max(1u, std::min({threads, 16u, blocks / kBlocksPerThread}));
  std::atomic<unsigned int> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (;;) {
      const unsigned int start = next.fetch_add(kChunk);
      if (start >= blocks || failed.load()) return;
      const unsigned int end = std::min(blocks, start + kChunk);
      for (unsigned int k = start; k < end; ++k) {
        if (!encoder->Encode(k, &(*chosen)[k])) failed.store(true);
      }
    }
  };
  std::vector<std::thread> pool;
  for (unsigned int t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads: this one does the rest
    }
  }
  work();
  for (std::thread& thread : pool) thread.join();
  return !failed.load();
}

}  // namespace

int CDefaultColorProcessor::FindNearPalette(const CColorPalette* block, const CColorPalette* palette,
                                            unsigned int used, unsigned char toleranceRed,
                                            unsigned char toleranceGreen, unsigned char toleranceBlue) {
  const std::vector<tTLBRGB> colours = Colours(*block);
  const auto m = static_cast<unsigned int>(colours.size());
  // Only runs wholly inside the used entries (and the palette) can match.
  const unsigned int limit = std::min(used, palette->GetNumber());
  const Tolerance tolerance{toleranceRed, toleranceGreen, toleranceBlue};
  for (unsigned int p = 0; p < used; p += 2) {
    if (uint64_t{p} + m > limit) break;
    bool all = true;
    for (unsigned int j = 0; j < m && all; ++j) {
      tTLBRGB entry;
      palette->GetValue(&entry.red, &entry.green, &entry.blue, p + j);
      all = Near(entry, colours[j], tolerance);
    }
    if (all) return static_cast<int>(p);
  }
  return -1;
}

bool CDefaultColorProcessor::CompressColorNumber_Tex4x4(CColorPalette* palette, CByteData* address,
                                                        const CData* attribute, unsigned char toleranceRed,
                                                        unsigned char toleranceGreen, unsigned char toleranceBlue) {
  const std::vector<tTLBRGB> old = Colours(*palette);
  const unsigned int blocks = std::min(attribute->GetByteSize(), address->GetNumber());
  RunIndex rebuilt(Tolerance{toleranceRed, toleranceGreen, toleranceBlue}, true);
  for (unsigned int k = 0; k < blocks; ++k) {
    const unsigned int length = internal::Tex4x4RunLength((*attribute)[k]);
    unsigned int start = 0;
    address->GetValue(&start, k);
    tTLBRGB run[4] = {};
    for (unsigned int j = 0; j < length; ++j) {
      const uint64_t entry = 2 * uint64_t{start} + j;
      if (entry < old.size()) run[j] = old[entry];  // past the palette: black
    }
    const int found = rebuilt.Find(run, length);
    if (found >= 0) {
      address->SetValue(static_cast<unsigned int>(found) / 2, k);
    } else {
      address->SetValue(rebuilt.used() / 2, k);
      rebuilt.Append(run, length);
    }
  }
  StorePalette(palette, rebuilt.entries());
  return true;
}

void CDefaultColorProcessor::MakeBlockDirectColorImage_Tex4x4(CDirectColorImage* block,
                                                              const CDirectColorImage* image, unsigned short x,
                                                              unsigned short y) {
  block->Create(4, 4, 0, 0, 0);
  for (unsigned int i = 0; i < 4; ++i) {
    for (unsigned int j = 0; j < 4; ++j) {
      // Texels past the image stay black.
      if (x + j >= image->GetWidth() || y + i >= image->GetHeight()) continue;
      unsigned char r, g, b;
      image->GetValue(&r, &g, &b, static_cast<unsigned short>(x + j), static_cast<unsigned short>(y + i));
      block->SetValue(r, g, b, static_cast<unsigned short>(j), static_cast<unsigned short>(i));
    }
  }
}

bool CDefaultColorProcessor::MakeBlockAlphaImageUseTransparentColor_Tex4x4(CAlphaImage* block,
                                                                           const CDirectColorImage* image,
                                                                           tTLBRGB key) {
  block->Create(image->GetWidth(), image->GetHeight(), 255);
  bool any = false;
  const unsigned int count = image->GetNumber();
  for (unsigned int i = 0; i < count; ++i) {
    const tTLBRGB texel{image->GetRedChannel()[i], image->GetGreenChannel()[i], image->GetBlueChannel()[i]};
    if (SameColour(texel, key)) {
      block->GetAlphaChannel()[i] = 0;
      any = true;
    }
  }
  return any;
}

bool CDefaultColorProcessor::MakeBlockAlphaImageUseAlpha_Tex4x4(CAlphaImage* block, const CAlphaImage* alpha,
                                                                unsigned short x, unsigned short y,
                                                                unsigned char threshold) {
  block->Create(4, 4, 255);
  unsigned int reached = 0;
  for (unsigned int i = 0; i < 4; ++i) {
    for (unsigned int j = 0; j < 4; ++j) {
      // Texels past the alpha image count as opaque.
      unsigned char a = 255;
      if (x + j < alpha->GetWidth() && y + i < alpha->GetHeight()) {
        alpha->GetValue(&a, static_cast<unsigned short>(x + j), static_cast<unsigned short>(y + i));
      }
      const bool opaque = a >= threshold;
      reached += opaque ? 1 : 0;
      block->SetValue(opaque ? 255 : 0, static_cast<unsigned short>(j), static_cast<unsigned short>(i));
    }
  }
  return reached < 16;
}

bool CDefaultColorProcessor::ConvertToTex4x4(CTexture* texture) {
  const CDirectColorImage& image = texture->GetDirectColorImage();
  const unsigned short width = image.GetWidth();
  const unsigned short height = image.GetHeight();
  if (!image.IsAvailable() || width % 4 != 0 || height % 4 != 0) return false;
  const unsigned int blocks = uint32_t{width} * height / 16;
  const CAlphaImage& alpha = texture->GetAlphaImage();
  // An alpha image is only read for transparency; one of another size cannot
  // tell which texels are transparent. A missing one counts as opaque.
  if (factor_.useTransparency && factor_.useAlphaImage && alpha.IsAvailable() &&
      (alpha.GetWidth() != width || alpha.GetHeight() != height)) {
    return false;
  }
  // The planes the texture prepares; made here when a caller did not.
  CColorIndexImage& indices = texture->GetColorIndexImage();
  if (!indices.IsAvailable() || indices.GetWidth() != width || indices.GetHeight() != height) {
    indices.Create(width, height);
  }
  CData& attribute = texture->GetColorPaletteAttribute();
  if (!attribute.IsAvailable() || attribute.GetByteSize() != blocks) attribute.Create(blocks, 0);
  CByteData& address = texture->GetColorPaletteAddress();
  if (!address.IsAvailable() || address.GetNumber() != blocks ||
      address.GetByteCount() != internal::kTex4x4AddressBytesCreated) {
    address.Create(internal::kTex4x4AddressBytesCreated, blocks, 0);
  }

  // Blocks choose their colours and texel indices on their own: on all cores
  // with the library's own search, in block order through a derived
  // processor's (virtual, perhaps not thread-safe) search.
  const bool own_search = &typeid(*this) == &typeid(CDefaultColorProcessor);
  BlockEncoder encoder(this, texture, own_search);
  std::vector<BlockColours> chosen(blocks);
  if (own_search) {
    if (!EncodeInParallel(&encoder, blocks, &chosen)) return false;
  } else {
    for (unsigned int k = 0; k < blocks; ++k) {
      if (!encoder.Encode(k, &chosen[k])) return false;
    }
  }

  // Palette addresses in block order, so that sharing finds the same runs.
  const Tolerance tolerance{static_cast<unsigned char>(8 * factor_.toleranceRed),
                            static_cast<unsigned char>(8 * factor_.toleranceGreen),
                            static_cast<unsigned char>(8 * factor_.toleranceBlue)};
  RunIndex runs(tolerance, factor_.sharePalette);
  for (unsigned int k = 0; k < blocks; ++k) {
    const unsigned int n = chosen[k].count;
    unsigned int at = 0;
    if (n > 0) {
      const int found = factor_.sharePalette ? runs.Find(chosen[k].colours, n) : -1;
      if (found >= 0) {
        at = static_cast<unsigned int>(found) / 2;
      } else {
        // An odd number of colours is followed by a black filler.
        at = runs.used() / 2;
        tTLBRGB run[4] = {};
        std::copy(chosen[k].colours, chosen[k].colours + n, run);
        runs.Append(run, n + n % 2);
      }
    }
    address.SetValue(at, k);
  }
  CColorPalette& palette = texture->GetColorPalette();
  StorePalette(&palette, runs.entries());

  if (palette.GetNumber() <= internal::kTex4x4MaxPaletteEntries) return true;
  // Passes of growing tolerance; (8 x tolerance) is taken modulo 256.
  unsigned int tolerances[3] = {factor_.toleranceRed, factor_.toleranceGreen, factor_.toleranceBlue};
  constexpr unsigned int kMaxPasses = 30;
  for (unsigned int pass = 1;; ++pass) {
    for (unsigned int& t : tolerances) {
      if (t < 254) ++t;
    }
    CompressColorNumber_Tex4x4(&palette, &address, &attribute, static_cast<unsigned char>(8 * tolerances[0]),
                               static_cast<unsigned char>(8 * tolerances[1]),
                               static_cast<unsigned char>(8 * tolerances[2]));
    if (pass > kMaxPasses) return false;
    if (palette.GetNumber() <= internal::kTex4x4MaxPaletteEntries) return true;
  }
}

}  // namespace Kelvane
