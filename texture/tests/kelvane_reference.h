// Literal reference versions of the library's algorithms, written step by step
// as the library defines them, without any speed-up. The tests compare the
// library's fast code against them.
#pragma once

#include <cstdint>
#include <vector>

namespace reference {

/// The selection sort: for each position p, the first strictly more extreme
/// byte at or after p is exchanged into p, with its index entry.
inline void SelectionSort(std::vector<unsigned char>& bytes, std::vector<unsigned int>* index,
                          unsigned int first, unsigned int last, bool descending) {
  if (first == last || first > last) return;
  for (unsigned int p = first; p <= last; ++p) {
    unsigned char extreme = bytes[p];
    unsigned int at = p;
    unsigned int remembered = index ? (*index)[p] : 0;
    for (unsigned int q = p + 1; q <= last; ++q) {
      if ((descending && bytes[q] > extreme) || (!descending && bytes[q] < extreme)) {
        extreme = bytes[q];
        at = q;
        if (index) remembered = (*index)[q];
      }
    }
    bytes[at] = bytes[p];
    bytes[p] = extreme;
    if (index) {
      (*index)[at] = (*index)[p];
      (*index)[p] = remembered;
    }
  }
}

struct Rgb {
  unsigned char r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline uint32_t Distance(const Rgb& a, const Rgb& b) {
  const uint32_t dr = static_cast<uint32_t>(30 * (a.r - b.r));
  const uint32_t dg = static_cast<uint32_t>(59 * (a.g - b.g));
  const uint32_t db = static_cast<uint32_t>(11 * (a.b - b.b));
  return dr * dr + dg * dg + db * db;
}

inline int FindNear(const std::vector<Rgb>& palette, const Rgb& c, int excluded) {
  uint32_t best = 0xFFFFFFFFu;
  int best_index = 0;
  for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
    if (i == excluded) continue;
    const uint32_t d = Distance(palette[i], c);
    if (d < best) {
      best = d;
      best_index = i;
      if (d == 0) return i & 0xFF;
    }
  }
  return best_index & 0xFF;
}

inline unsigned char LowerBit5(unsigned char v) { return static_cast<unsigned char>((v & 0xF8) | (v >> 5)); }

inline std::vector<Rgb> CutCommon(const std::vector<Rgb>& colours) {
  std::vector<Rgb> kept;
  for (const Rgb& c : colours) {
    bool seen = false;
    for (const Rgb& k : kept) seen = seen || k == c;
    if (!seen) kept.push_back(c);
  }
  return kept;
}

/// Median cut into `out` (its size is the number of entries wanted).
inline void MedianCut(std::vector<Rgb>& out, const std::vector<Rgb>& colours) {
  const unsigned int count = static_cast<unsigned int>(colours.size());
  const unsigned int n = static_cast<unsigned int>(out.size());
  if (count <= n) {
    out = colours;
    return;
  }
  std::vector<unsigned char> red(count), green(count), blue(count);
  std::vector<unsigned int> ro(count), go(count), bo(count);
  for (unsigned int i = 0; i < count; ++i) {
    red[i] = colours[i].r;
    green[i] = colours[i].g;
    blue[i] = colours[i].b;
    ro[i] = go[i] = bo[i] = i;
  }
  SelectionSort(red, &ro, 0, count - 1, false);
  SelectionSort(green, &go, 0, count - 1, false);
  SelectionSort(blue, &bo, 0, count - 1, false);
  unsigned int levels = 0;
  while (true) {
    unsigned int sum = 0;
    for (unsigned int i = 0; i < levels; ++i) sum += i * i;
    if (sum >= n) break;
    ++levels;
  }
  unsigned int written = 0;
  unsigned int span = count - 1;
  for (unsigned int level = 0; level < levels; ++level) {
    unsigned int c = 0, d = span;
    while (d < count) {
      const unsigned char rr = static_cast<unsigned char>(red[d] - red[c]);
      const unsigned char gr = static_cast<unsigned char>(green[d] - green[c]);
      const unsigned char br = static_cast<unsigned char>(blue[d] - blue[c]);
      const unsigned int mid = (c + d) / 2;
      unsigned int pick = bo[mid];
      if (gr > br && gr > rr) {
        pick = go[mid];
      } else if (rr > br && rr > gr) {
        pick = ro[mid];
      }
      out[written++] = colours[pick];
      if (written == n) return;
      c = d;
      d += span;
    }
    span /= 2;
  }
}

/// The settings that the conversion to palette types reads.
struct Settings {
  bool use_transparency = false;
  bool use_alpha_image = false;
  Rgb key{0, 0, 0};
  const std::vector<Rgb>* fixed = nullptr;  // an available fixed palette
};

/// Conversion of a texture to `entries` colours with every setting, step by
/// step: the key colour rewrites `alpha` (which must hold one value per
/// texel), then the palette is fixed or reduced, the transparent entry is
/// made, and every texel is mapped.
inline void Convert(const std::vector<Rgb>& texels, std::vector<unsigned char>* alpha, unsigned int entries,
                    const Settings& settings, std::vector<Rgb>* palette,
                    std::vector<unsigned char>* indices) {
  std::vector<Rgb> work;
  if (settings.use_transparency) {
    if (!settings.use_alpha_image) {
      const Rgb key = settings.fixed != nullptr ? (*settings.fixed)[0] : settings.key;
      for (size_t i = 0; i < texels.size(); ++i) (*alpha)[i] = texels[i] == key ? 0 : 255;
    }
    for (size_t i = 0; i < texels.size(); ++i) {
      if ((*alpha)[i] >= 128) work.push_back(texels[i]);
    }
  } else {
    work = texels;
  }
  int excluded = -1;
  if (settings.fixed != nullptr) {
    *palette = *settings.fixed;
    if (palette->size() > entries) palette->resize(entries);
  } else {
    for (Rgb& c : work) c = Rgb{LowerBit5(c.r), LowerBit5(c.g), LowerBit5(c.b)};
    std::vector<Rgb> distinct = CutCommon(work);
    if (distinct.size() <= entries) {
      *palette = distinct;
    } else {
      std::vector<Rgb> out(entries, Rgb{0, 0, 0});
      MedianCut(out, work);
      *palette = CutCommon(out);
    }
    if (settings.use_transparency) {
      unsigned int c = static_cast<unsigned int>(palette->size());
      if (c < entries) {
        palette->push_back(Rgb{0, 0, 0});
        ++c;
      }
      for (unsigned int i = c - 1; i >= 1; --i) (*palette)[i] = (*palette)[i - 1];
      (*palette)[0] = settings.key;
      excluded = 0;
    }
  }
  indices->clear();
  for (size_t i = 0; i < texels.size(); ++i) {
    if (settings.use_transparency && (*alpha)[i] < 128) {
      indices->push_back(0);
    } else {
      indices->push_back(static_cast<unsigned char>(FindNear(*palette, texels[i], excluded)));
    }
  }
}

/// Conversion of an opaque image without transparency to `entries` colours:
/// the palette and the index of every texel.
inline void ConvertOpaque(const std::vector<Rgb>& texels, unsigned int entries, std::vector<Rgb>* palette,
                          std::vector<unsigned char>* indices) {
  Convert(texels, nullptr, entries, Settings{}, palette, indices);
}

}  // namespace reference
