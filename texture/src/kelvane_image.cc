// Pixel planes and the colour palette.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kelvane/kelvane.h"

namespace Kelvane {

namespace {

inline uint32_t PixelPosition(unsigned short width, unsigned short x, unsigned short y) {
  return uint32_t{y} * width + x;
}

// Palettes at most this long remove duplicates by scanning what they kept;
// longer ones remember the colours seen in a hash set sized to the palette,
// and palettes too long for that to pay mark them in a bitmap of all 2^24
// colours (2 MiB, which a set of this many entries would outgrow anyway).
constexpr unsigned int kShortPaletteLength = 64;
constexpr unsigned int kHashedPaletteLength = 1u << 17;

// Open addressing with linear probing over 2^bits slots; a slot holds a
// colour plus one, so that 0 means empty.
class SeenColours {
 public:
  explicit SeenColours(unsigned int count) {
    while ((1u << bits_) < 2 * count) ++bits_;
    slots_.assign(size_t{1} << bits_, 0);
  }
  // True when `colour` (24 bits) is new, and remembers it.
  bool Insert(uint32_t colour) {
    const uint32_t mask = (1u << bits_) - 1;
    for (uint32_t slot = (colour * 2654435761u) >> (32 - bits_);; slot = (slot + 1) & mask) {
      if (slots_[slot] == colour + 1) return false;
      if (slots_[slot] == 0) {
        slots_[slot] = colour + 1;
        return true;
      }
    }
  }

 private:
  unsigned int bits_ = 1;
  std::vector<uint32_t> slots_;
};

}  // namespace

// --- CAlphaImage ---

CAlphaImage::CAlphaImage() : available_(false), width_(0), height_(0) {}
CAlphaImage::CAlphaImage(const CAlphaImage& other)
    : available_(other.available_), width_(other.width_), height_(other.height_), alpha_(other.alpha_) {}
CAlphaImage& CAlphaImage::operator=(const CAlphaImage& other) {
  if (this == &other) return *this;
  available_ = other.available_;
  width_ = other.width_;
  height_ = other.height_;
  alpha_ = other.alpha_;
  return *this;
}
CAlphaImage::~CAlphaImage() { Clear(); }

void CAlphaImage::Create(unsigned short width, unsigned short height, unsigned char fill) {
  width_ = width;
  height_ = height;
  available_ = true;
  alpha_.Create(uint32_t{width} * height, fill);
}
void CAlphaImage::Clear() {
  available_ = false;
  width_ = 0;
  height_ = 0;
  alpha_.Clear();
}
void CAlphaImage::GetValue(unsigned char* out, unsigned short x, unsigned short y) const {
  *out = alpha_[PixelPosition(width_, x, y)];
}
void CAlphaImage::SetValue(unsigned char value, unsigned short x, unsigned short y) {
  alpha_[PixelPosition(width_, x, y)] = value;
}

// --- CColorIndexImage ---

CColorIndexImage::CColorIndexImage() : available_(false), width_(0), height_(0) {}
CColorIndexImage::CColorIndexImage(const CColorIndexImage& other)
    : available_(other.available_), width_(other.width_), height_(other.height_), index_(other.index_) {}
CColorIndexImage& CColorIndexImage::operator=(const CColorIndexImage& other) {
  if (this == &other) return *this;
  available_ = other.available_;
  width_ = other.width_;
  height_ = other.height_;
  index_ = other.index_;
  return *this;
}
CColorIndexImage::~CColorIndexImage() { Clear(); }

void CColorIndexImage::Create(unsigned short width, unsigned short height) {
  width_ = width;
  height_ = height;
  available_ = true;
  index_.Create(uint32_t{width} * height, 0);
}
void CColorIndexImage::Clear() {
  available_ = false;
  width_ = 0;
  height_ = 0;
  index_.Clear();
}
unsigned int CColorIndexImage::GetNumber() const { return uint32_t{width_} * height_; }
void CColorIndexImage::GetValue(unsigned char* out, unsigned short x, unsigned short y) const {
  *out = index_[PixelPosition(width_, x, y)];
}
void CColorIndexImage::SetValue(unsigned char value, unsigned short x, unsigned short y) {
  index_[PixelPosition(width_, x, y)] = value;
}

// --- CDirectColorImage ---

CDirectColorImage::CDirectColorImage() : available_(false), width_(0), height_(0) {}
CDirectColorImage::CDirectColorImage(const CDirectColorImage& other)
    : available_(other.available_),
      width_(other.width_),
      height_(other.height_),
      red_(other.red_),
      green_(other.green_),
      blue_(other.blue_) {}
CDirectColorImage& CDirectColorImage::operator=(const CDirectColorImage& other) {
  if (this == &other) return *this;
  available_ = other.available_;
  width_ = other.width_;
  height_ = other.height_;
  red_ = other.red_;
  green_ = other.green_;
  blue_ = other.blue_;
  return *this;
}
CDirectColorImage::~CDirectColorImage() { Clear(); }

void CDirectColorImage::Create(unsigned short width, unsigned short height, unsigned char red,
                               unsigned char green, unsigned char blue) {
  width_ = width;
  height_ = height;
  available_ = true;
  const uint32_t count = uint32_t{width} * height;
  red_.Create(count, red);
  green_.Create(count, green);
  blue_.Create(count, blue);
}
void CDirectColorImage::Clear() {
  available_ = false;
  width_ = 0;
  height_ = 0;
  red_.Clear();
  green_.Clear();
  blue_.Clear();
}
unsigned int CDirectColorImage::GetNumber() const { return uint32_t{width_} * height_; }
void CDirectColorImage::GetValue(unsigned char* red, unsigned char* green, unsigned char* blue,
                                 unsigned short x, unsigned short y) const {
  const uint32_t at = PixelPosition(width_, x, y);
  *red = red_[at];
  *green = green_[at];
  *blue = blue_[at];
}
void CDirectColorImage::SetValue(unsigned char red, unsigned char green, unsigned char blue, unsigned short x,
                                 unsigned short y) {
  const uint32_t at = PixelPosition(width_, x, y);
  red_[at] = red;
  green_[at] = green;
  blue_[at] = blue;
}

// --- CColorPalette ---

CColorPalette::CColorPalette() : available_(false) {}
CColorPalette::CColorPalette(const CColorPalette& other)
    : available_(other.available_), red_(other.red_), green_(other.green_), blue_(other.blue_) {}
CColorPalette& CColorPalette::operator=(const CColorPalette& other) {
  if (this == &other) return *this;
  available_ = other.available_;
  red_ = other.red_;
  green_ = other.green_;
  blue_ = other.blue_;
  return *this;
}
CColorPalette::~CColorPalette() { Clear(); }

void CColorPalette::Create(unsigned int count, unsigned char red, unsigned char green, unsigned char blue) {
  available_ = true;
  red_.Create(count, red);
  green_.Create(count, green);
  blue_.Create(count, blue);
}
void CColorPalette::Clear() {
  available_ = false;
  red_.Clear();
  green_.Clear();
  blue_.Clear();
}
void CColorPalette::ChangeNumber(unsigned int count) {
  red_.ChangeNumber(count);
  green_.ChangeNumber(count);
  blue_.ChangeNumber(count);
}
void CColorPalette::GetValue(unsigned char* red, unsigned char* green, unsigned char* blue,
                             unsigned int entry) const {
  *red = red_[entry];
  *green = green_[entry];
  *blue = blue_[entry];
}
void CColorPalette::SetValue(unsigned char red, unsigned char green, unsigned char blue, unsigned int entry) {
  red_[entry] = red;
  green_[entry] = green;
  blue_[entry] = blue;
}

int CColorPalette::FindColor(unsigned char red, unsigned char green, unsigned char blue) {
  const unsigned int count = GetNumber();
  for (unsigned int i = 0; i < count; ++i) {
    if (red_[i] == red && green_[i] == green && blue_[i] == blue) return static_cast<int>(i);
  }
  return -1;
}

void CColorPalette::QuickSortTopDown(bool descending) {
  const unsigned int count = GetNumber();
  if (count == 0) return;
  CData keys;
  keys.Create(count, 0);
  std::vector<unsigned int> packed(count);
  for (unsigned int i = 0; i < count; ++i) {
    const unsigned int r = red_[i], g = green_[i], b = blue_[i];
    keys[i] = static_cast<unsigned char>((77 * r + 151 * g + 28 * b) >> 8);
    packed[i] = r * 65536 + g * 256 + b;
  }
  keys.QuickSortTopDown(packed.data(), 0, count - 1, descending);
  for (unsigned int i = 0; i < count; ++i) {
    red_[i] = static_cast<unsigned char>(packed[i] >> 16);
    green_[i] = static_cast<unsigned char>(packed[i] >> 8);
    blue_[i] = static_cast<unsigned char>(packed[i]);
  }
}

void CColorPalette::CommonLowerBit(unsigned char bits) {
  if (bits >= 8) return;  // every bit is significant: values stay
  unsigned char table[256];
  const int s = 8 - bits;
  const int t = 2 * bits - 8;
  for (int v = 0; v < 256; ++v) {
    const int high = v >> s;
    const int repeated = t >= 0 ? high >> t : 0;
    table[v] = static_cast<unsigned char>((high << s) | repeated);
  }
  for (CData* channel : {&red_, &green_, &blue_}) {
    unsigned char* bytes = channel->GetpData();
    const unsigned int count = channel->GetByteSize();
    for (unsigned int i = 0; i < count; ++i) bytes[i] = table[bytes[i]];
  }
}

void CColorPalette::CutCommonColor() {
  const unsigned int count = GetNumber();
  std::vector<unsigned int> kept;
  kept.reserve(count);
  if (count <= kShortPaletteLength) {
    for (unsigned int i = 0; i < count; ++i) {
      bool seen = false;
      for (unsigned int k : kept) {
        if (red_[k] == red_[i] && green_[k] == green_[i] && blue_[k] == blue_[i]) {
          seen = true;
          break;
        }
      }
      if (!seen) kept.push_back(i);
    }
  } else if (count <= kHashedPaletteLength) {
    SeenColours seen(count);
    for (unsigned int i = 0; i < count; ++i) {
      if (seen.Insert((uint32_t{red_[i]} << 16) | (uint32_t{green_[i]} << 8) | blue_[i])) kept.push_back(i);
    }
  } else {
    std::vector<uint64_t> seen((1u << 24) / 64, 0);
    for (unsigned int i = 0; i < count; ++i) {
      const uint32_t colour = (uint32_t{red_[i]} << 16) | (uint32_t{green_[i]} << 8) | blue_[i];
      uint64_t& word = seen[colour >> 6];
      const uint64_t bit = uint64_t{1} << (colour & 63);
      if ((word & bit) == 0) {
        word |= bit;
        kept.push_back(i);
      }
    }
  }
  CData red, green, blue;
  const auto n = static_cast<unsigned int>(kept.size());
  red.Create(n, 0);
  green.Create(n, 0);
  blue.Create(n, 0);
  for (unsigned int k = 0; k < n; ++k) {
    red[k] = red_[kept[k]];
    green[k] = green_[kept[k]];
    blue[k] = blue_[kept[k]];
  }
  red_ = red;
  green_ = green;
  blue_ = blue;
  // Assigning empty channels would leave them unavailable; recreate instead.
  if (n == 0) {
    red_.Create(0, 0);
    green_.Create(0, 0);
    blue_.Create(0, 0);
  }
  available_ = true;
}

}  // namespace Kelvane
