// Literal reference of the 4x4-block colour choice, encoder and decoder,
// written step by step without any speed-up: linear scans for sharing and
// merging, every RoundRobin candidate scored in full. The tests compare the
// library against it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "kelvane_reference.h"

namespace reference::tex4x4 {

/// The palette's luminance sort, brightest first: keys sorted by the selection
/// sort with the packed colours alongside.
inline void SortDescending(std::vector<Rgb>& colours) {
  const unsigned int n = static_cast<unsigned int>(colours.size());
  if (n == 0) return;
  std::vector<unsigned char> keys(n);
  std::vector<unsigned int> packed(n);
  for (unsigned int i = 0; i < n; ++i) {
    const unsigned int r = colours[i].r, g = colours[i].g, b = colours[i].b;
    keys[i] = static_cast<unsigned char>((77 * r + 151 * g + 28 * b) >> 8);
    packed[i] = r * 65536 + g * 256 + b;
  }
  SelectionSort(keys, &packed, 0, n - 1, true);
  for (unsigned int i = 0; i < n; ++i) {
    colours[i] = Rgb{static_cast<unsigned char>(packed[i] >> 16), static_cast<unsigned char>(packed[i] >> 8),
                     static_cast<unsigned char>(packed[i])};
  }
}

/// c0, c1 expanded to 3 (transparent) or 4 entries.
inline std::vector<Rgb> Linear(std::vector<Rgb> c, bool transparent) {
  const Rgb c0 = c[0], c1 = c[1];
  c.resize(2);
  if (transparent) {
    c.push_back(Rgb{static_cast<unsigned char>((c0.r + c1.r) / 2), static_cast<unsigned char>((c0.g + c1.g) / 2),
                    static_cast<unsigned char>((c0.b + c1.b) / 2)});
  } else {
    c.push_back(Rgb{static_cast<unsigned char>((5 * c0.r + 3 * c1.r) / 8),
                    static_cast<unsigned char>((5 * c0.g + 3 * c1.g) / 8),
                    static_cast<unsigned char>((5 * c0.b + 3 * c1.b) / 8)});
    c.push_back(Rgb{static_cast<unsigned char>((3 * c0.r + 5 * c1.r) / 8),
                    static_cast<unsigned char>((3 * c0.g + 5 * c1.g) / 8),
                    static_cast<unsigned char>((3 * c0.b + 5 * c1.b) / 8)});
  }
  return c;
}

/// For 0 to 4 distinct colours.
inline std::vector<Rgb> SetPalette(const std::vector<Rgb>& distinct, bool transparent) {
  std::vector<Rgb> s = distinct;
  const size_t m = s.size();
  if (m == 0) return {};
  if (m == 1) return {s[0]};
  SortDescending(s);
  if (m == 2) return {s[0], s[1]};
  if (m == 3) return {s[0], s[2], s[1]};
  if (transparent) return {s[0], s[3], s[1]};
  return {s[0], s[3], s[1], s[2]};
}

inline std::vector<Rgb> HiLow(const std::vector<Rgb>& colours, bool transparent, bool two) {
  std::vector<Rgb> s = colours;
  SortDescending(s);
  const size_t n = s.size();
  std::vector<Rgb> out = {s[0], s[n - 1]};
  if (two) return out;
  if (transparent) {
    out.push_back(s[(n - 1) / 2]);
    return out;
  }
  out.push_back(s[(n - 1) / 3]);
  out.push_back(s[2 * (n - 1) / 3]);
  return out;
}

inline uint32_t Cost(const std::vector<Rgb>& colours, const std::vector<Rgb>& candidate) {
  uint32_t cost = 0;
  for (const Rgb& c : colours) {
    uint32_t smallest = 0xFFFFFFFFu;
    for (const Rgb& e : candidate) {
      const uint32_t d = Distance(c, e);
      if (d < smallest) smallest = d;
      if (d == 0) break;
    }
    cost += smallest;  // wraps modulo 2^32
  }
  return cost;
}

/// The exhaustive search. The best starts as the first candidate, which any
/// candidate of a cost below 2^32 - 1 replaces.
inline std::vector<Rgb> RoundRobin(const std::vector<Rgb>& colours, bool transparent, bool two) {
  const int n = static_cast<int>(colours.size());
  uint32_t best = 0xFFFFFFFFu;
  std::vector<int> chosen;
  bool done = false;
  auto offer = [&](std::vector<int> indices) {
    if (chosen.empty()) chosen = indices;
    std::vector<Rgb> candidate;
    for (int i : indices) candidate.push_back(colours[i]);
    if (two) candidate = Linear(candidate, transparent);
    const uint32_t cost = Cost(colours, candidate);
    if (cost < best) {
      best = cost;
      chosen = indices;
      if (cost == 0) done = true;
    }
  };
  if (two) {
    for (int i0 = 0; i0 < n - 1 && !done; ++i0)
      for (int i1 = i0 + 1; i1 < n && !done; ++i1) offer({i1, i0});
  } else if (transparent) {
    for (int i0 = 0; i0 < n - 2 && !done; ++i0)
      for (int i1 = i0 + 1; i1 < n - 1 && !done; ++i1)
        for (int i2 = i1 + 1; i2 < n && !done; ++i2) offer({i2, i1, i0});
  } else {
    for (int i0 = 0; i0 < n - 3 && !done; ++i0)
      for (int i1 = i0 + 1; i1 < n - 2 && !done; ++i1)
        for (int i2 = i1 + 1; i2 < n - 1 && !done; ++i2)
          for (int i3 = i2 + 1; i3 < n && !done; ++i3) offer({i3, i2, i1, i0});
  }
  std::vector<Rgb> out;
  for (int i : chosen) out.push_back(colours[i]);
  SortDescending(out);
  const size_t k = out.size();
  std::swap(out[1], out[k - 1]);
  if (k == 4) std::swap(out[2], out[3]);
  return out;
}

/// A block's colours from its texels and block alpha.
inline std::vector<Rgb> Get4Color(const std::vector<Rgb>& texels, const std::vector<unsigned char>& alpha,
                                  bool transparent, unsigned int algorithm) {
  std::vector<Rgb> list;
  for (size_t i = 0; i < texels.size(); ++i) {
    if (alpha[i] >= 128) list.push_back(texels[i]);
  }
  for (Rgb& c : list) c = Rgb{LowerBit5(c.r), LowerBit5(c.g), LowerBit5(c.b)};
  const std::vector<Rgb> distinct = CutCommon(list);
  if (distinct.size() > 2) {
    if (algorithm == 0) return HiLow(list, transparent, false);
    if (algorithm == 1) return HiLow(list, transparent, true);
    if (algorithm == 2) return RoundRobin(list, transparent, false);
    return RoundRobin(list, transparent, true);
  }
  return SetPalette(distinct, transparent);
}

inline bool Near(const Rgb& a, const Rgb& b, unsigned int tr, unsigned int tg, unsigned int tb) {
  auto diff = [](int x, int y) { return static_cast<unsigned int>(x > y ? x - y : y - x); };
  return diff(a.r, b.r) <= tr && diff(a.g, b.g) <= tg && diff(a.b, b.b) <= tb;
}

/// The first even position whose run, wholly below `used`, matches.
inline int FindNearPalette(const std::vector<Rgb>& block, const std::vector<Rgb>& palette, unsigned int used,
                           unsigned int tr, unsigned int tg, unsigned int tb) {
  const unsigned int m = static_cast<unsigned int>(block.size());
  for (unsigned int p = 0; p < used; p += 2) {
    if (p + m > used) continue;
    bool all = true;
    for (unsigned int j = 0; j < m; ++j) all = all && Near(palette[p + j], block[j], tr, tg, tb);
    if (all) return static_cast<int>(p);
  }
  return -1;
}

/// One merging pass; the new palette grows when it must.
inline void CompressColorNumber(std::vector<Rgb>& palette, std::vector<unsigned int>& addresses,
                                const std::vector<unsigned char>& modes, unsigned int tr, unsigned int tg,
                                unsigned int tb) {
  std::vector<Rgb> fresh(palette.size(), Rgb{0, 0, 0});
  unsigned int used = 0;
  for (size_t k = 0; k < modes.size(); ++k) {
    const unsigned int length = (modes[k] & 1) ? 2 : 4;
    const unsigned int start = 2 * addresses[k];
    std::vector<Rgb> run;
    for (unsigned int j = 0; j < length; ++j)
      run.push_back(start + j < palette.size() ? palette[start + j] : Rgb{0, 0, 0});
    int found = -1;
    for (unsigned int p = 0; p < used && found < 0; p += 2) {
      if (p + length > used) continue;
      bool all = true;
      for (unsigned int j = 0; j < length; ++j) all = all && Near(run[j], fresh[p + j], tr, tg, tb);
      if (all) found = static_cast<int>(p);
    }
    if (found >= 0) {
      addresses[k] = static_cast<unsigned int>(found) / 2;
      continue;
    }
    addresses[k] = used / 2;
    for (unsigned int j = 0; j < length; ++j) {
      if (used + j >= fresh.size()) fresh.push_back(Rgb{0, 0, 0});
      fresh[used + j] = run[j];
    }
    used += length;
  }
  fresh.resize(used);
  palette = fresh;
}

struct Settings {
  bool use_transparency = false;
  bool use_alpha_image = false;
  Rgb key{0, 0, 0};
  unsigned int algorithm = 0;
  unsigned char tolerance[3] = {0, 0, 0};
  bool share = false;
};

struct Encoded {
  bool ok = true;
  int passes = 0;
  std::vector<Rgb> palette;
  std::vector<unsigned char> indices;  // per texel, row by row
  std::vector<unsigned char> modes;
  std::vector<unsigned int> addresses;
};

/// The encoder; `alpha` is empty when the texture has no alpha image.
inline Encoded Encode(unsigned int width, unsigned int height, const std::vector<Rgb>& texels,
                      const std::vector<unsigned char>& alpha, const Settings& s) {
  Encoded e;
  const unsigned int blocks = width * height / 16;
  e.palette.assign(4 * blocks, Rgb{0, 0, 0});
  e.indices.assign(width * height, 0);
  e.modes.assign(blocks, 0);
  e.addresses.assign(blocks, 0);
  unsigned int b = 0;
  for (unsigned int k = 0; k < blocks; ++k) {
    const unsigned int x0 = 4 * (k % (width / 4)), y0 = 4 * (k / (width / 4));
    std::vector<Rgb> block;
    std::vector<unsigned char> block_alpha(16, 255);
    for (unsigned int i = 0; i < 4; ++i)
      for (unsigned int j = 0; j < 4; ++j) block.push_back(texels[(y0 + i) * width + x0 + j]);
    bool transparent = false;
    if (s.use_transparency) {
      if (s.use_alpha_image) {
        if (!alpha.empty()) {
          unsigned int reached = 0;
          for (unsigned int i = 0; i < 16; ++i) {
            const unsigned char a = alpha[(y0 + i / 4) * width + x0 + i % 4];
            block_alpha[i] = a >= 128 ? 255 : 0;
            if (a >= 128) ++reached;
          }
          transparent = reached < 16;
        }
      } else {
        for (unsigned int i = 0; i < 16; ++i) {
          if (block[i] == s.key) {
            block_alpha[i] = 0;
            transparent = true;
          }
        }
      }
    }
    std::vector<Rgb> work = Get4Color(block, block_alpha, transparent, s.algorithm);
    const unsigned int n = static_cast<unsigned int>(work.size());
    e.modes[k] = static_cast<unsigned char>((n < 3 ? 1 : 0) + (transparent ? 0 : 2));
    if (n == 0) {
      e.addresses[k] = 0;
    } else {
      int found = -1;
      if (s.share) {
        found = FindNearPalette(work, e.palette, b, (8u * s.tolerance[0]) % 256, (8u * s.tolerance[1]) % 256,
                                (8u * s.tolerance[2]) % 256);
      }
      if (found >= 0) {
        e.addresses[k] = static_cast<unsigned int>(found) / 2;
      } else {
        e.addresses[k] = b / 2;
        for (unsigned int j = 0; j < n; ++j) e.palette[b + j] = work[j];
        b += n;
        if (n == 1 || n == 3) e.palette[b++] = Rgb{0, 0, 0};
      }
    }
    if (n == 2) work = Linear(work, transparent);
    for (unsigned int i = 0; i < 16; ++i) {
      const unsigned int at = (y0 + i / 4) * width + x0 + i % 4;
      e.indices[at] = block_alpha[i] < 128 ? 3 : static_cast<unsigned char>(FindNear(work, block[i], -1));
    }
  }
  e.palette.resize(b);
  if (b > 0x8000) {
    unsigned int t[3] = {s.tolerance[0], s.tolerance[1], s.tolerance[2]};
    for (;;) {
      for (unsigned int& v : t)
        if (v < 254) ++v;
      CompressColorNumber(e.palette, e.addresses, e.modes, (8 * t[0]) % 256, (8 * t[1]) % 256, (8 * t[2]) % 256);
      ++e.passes;
      if (e.passes > 30) {
        e.ok = false;
        return e;
      }
      if (e.palette.size() <= 0x8000) break;
    }
  }
  return e;
}

/// The decoder: the colour of every texel (transparent texels are black).
inline std::vector<Rgb> Decode(unsigned int width, unsigned int height, const Encoded& e) {
  std::vector<Rgb> out(width * height, Rgb{0, 0, 0});
  auto entry = [&](unsigned int i) { return i < e.palette.size() ? e.palette[i] : Rgb{0, 0, 0}; };
  for (unsigned int k = 0; k < e.modes.size(); ++k) {
    std::vector<Rgb> list(4, Rgb{0, 0, 0});
    const unsigned int base = 2 * e.addresses[k];
    const unsigned char mode = e.modes[k];
    if (mode == 0 || mode == 2) {
      for (unsigned int i = 0; i < (mode == 0 ? 3u : 4u); ++i) list[i] = entry(base + i);
    } else {
      std::vector<Rgb> two = Linear({entry(base), entry(base + 1)}, mode == 1);
      for (size_t i = 0; i < two.size(); ++i) list[i] = two[i];
    }
    const unsigned int x0 = 4 * (k % (width / 4)), y0 = 4 * (k / (width / 4));
    for (unsigned int y = y0; y < y0 + 4; ++y)
      for (unsigned int x = x0; x < x0 + 4; ++x) out[y * width + x] = list[e.indices[y * width + x]];
  }
  return out;
}

}  // namespace reference::tex4x4
