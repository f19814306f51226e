// The texture object: planes, type and conversions between types.
#include <cstdint>

#include "kelvane/kelvane.h"
#include "kelvane_default_processor.h"
#include "kelvane_tex4x4_mode.h"

namespace Kelvane {

namespace {

constexpr unsigned int kPaletteEntries[] = {4, 8, 16, 32, 256};

bool KeepsAlpha(CTexture::tType type) { return type == CTexture::TYPE_A5I3 || type == CTexture::TYPE_A3I5; }

// Copies a width x height channel into a new_width x new_height one, repeating
// the last column into the new columns and then the (extended) last row into
// the new rows.
void PadChannel(const CData& old, unsigned int width, unsigned int height, CData* grown,
                unsigned int new_width, unsigned int new_height) {
  for (unsigned int y = 0; y < height; ++y) {
    const unsigned char* from = old.GetpData() + uint64_t{y} * width;
    unsigned char* to = grown->GetpData() + uint64_t{y} * new_width;
    for (unsigned int x = 0; x < width; ++x) to[x] = from[x];
    for (unsigned int x = width; x < new_width; ++x) to[x] = from[width - 1];
  }
  const unsigned char* last_row = grown->GetpData() + uint64_t{height - 1} * new_width;
  for (unsigned int y = height; y < new_height; ++y) {
    unsigned char* to = grown->GetpData() + uint64_t{y} * new_width;
    for (unsigned int x = 0; x < new_width; ++x) to[x] = last_row[x];
  }
}

// The per-block tables grow block row by block row: the old values are read in
// order for the block columns that existed, the last one repeats across the new
// columns, and added block rows copy the block above.
struct TableGrowth {
  unsigned int width, height, new_width, new_height;

  uint64_t OldRows() const { return (height - 1) / 4 + 1; }
  uint64_t Reads() const { return OldRows() * ((width + 3) / 4); }
  uint64_t AddedRows() const { return new_height > height ? (new_height - height - 1) / 4 + 1 : 0; }
  uint64_t Writes() const { return (OldRows() + AddedRows()) * ((new_width - 1) / 4 + 1); }
  unsigned int NewCount() const { return static_cast<unsigned int>(uint64_t{new_width} * new_height / 16); }
  bool Fits(uint64_t old_count) const { return Reads() <= old_count && Writes() <= NewCount(); }

  template <typename Read, typename Write, typename ReadNew>
  void Run(Read read, Write write, ReadNew read_new) const {
    uint64_t next_read = 0, pos = 0;
    unsigned int last = 0;
    for (uint64_t row = 0; row < OldRows(); ++row) {
      for (unsigned int x = 0; x < new_width; x += 4) {
        if (x < width) last = read(next_read++);
        write(pos++, last);
      }
    }
    const uint64_t per_row = (new_width - 1) / 4 + 1;
    for (uint64_t row = 0; row < AddedRows(); ++row) {
      for (uint64_t i = 0; i < per_row; ++i, ++pos) write(pos, read_new(pos - new_width / 4));
    }
  }
};

void ReadEntry(const CColorPalette& palette, unsigned int entry, int* rgb) {
  if (entry >= palette.GetNumber()) {
    rgb[0] = rgb[1] = rgb[2] = 0;  // past the palette: black
    return;
  }
  rgb[0] = palette.GetRedChannel()[entry];
  rgb[1] = palette.GetGreenChannel()[entry];
  rgb[2] = palette.GetBlueChannel()[entry];
}

}  // namespace

CTexture::CTexture() : type_(TYPE_NONE), processor_(internal::DefaultColorProcessor()) {}

CTexture::CTexture(const CTexture& other)
    : index_image_(other.index_image_),
      palette_(other.palette_),
      direct_image_(other.direct_image_),
      alpha_image_(other.alpha_image_),
      palette_attribute_(other.palette_attribute_),
      palette_address_(other.palette_address_),
      type_(other.type_),
      processor_(other.processor_) {}

CTexture& CTexture::operator=(const CTexture& other) {
  if (this == &other) return *this;
  index_image_ = other.index_image_;
  palette_ = other.palette_;
  direct_image_ = other.direct_image_;
  alpha_image_ = other.alpha_image_;
  palette_attribute_ = other.palette_attribute_;
  palette_address_ = other.palette_address_;
  type_ = other.type_;
  processor_ = other.processor_;
  return *this;
}

CTexture::~CTexture() { Clear(); }

void CTexture::Clear() {
  index_image_.Clear();
  palette_.Clear();
  direct_image_.Clear();
  alpha_image_.Clear();
  palette_attribute_.Clear();
  palette_address_.Clear();
  type_ = TYPE_NONE;
  processor_ = internal::DefaultColorProcessor();
}

void CTexture::SetColorProcessor(CColorProcessor* processor) {
  processor_ = processor != nullptr ? processor : internal::DefaultColorProcessor();
}

unsigned short CTexture::GetWidth() const {
  if (index_image_.IsAvailable()) return index_image_.GetWidth();
  if (direct_image_.IsAvailable()) return direct_image_.GetWidth();
  return 0;
}

unsigned short CTexture::GetHeight() const {
  if (index_image_.IsAvailable()) return index_image_.GetHeight();
  if (direct_image_.IsAvailable()) return direct_image_.GetHeight();
  return 0;
}

bool CTexture::Convert(tType type) {
  if (type > TYPE_DIRECT) return false;
  if (type == TYPE_TEX4X4) {
    if (GetWidth() % 4 != 0 || GetHeight() % 4 != 0) return false;
    if (IsPaletteType()) {
      ChangePaletteTypeToDirect();
      return ChangeDirectToTex4x4();
    }
    if (type_ == TYPE_DIRECT) return ChangeDirectToTex4x4();
    return true;
  }
  if (type == TYPE_DIRECT) {
    if (IsPaletteType()) {
      ChangePaletteTypeToDirect();
    } else if (type_ == TYPE_TEX4X4) {
      ChangeTex4x4ToDirect();
    }
    return true;
  }
  if (IsPaletteType()) {
    if (type_ != type) ChangePaletteType(type);
  } else if (type_ == TYPE_DIRECT) {
    ChangeDirectToPaletteType(type);
  } else if (type_ == TYPE_TEX4X4) {
    // A block that cannot be decoded stops the conversion: the 4x4 planes stay.
    if (ChangeTex4x4ToDirect()) ChangeDirectToPaletteType(type);
  }
  return true;
}

bool CTexture::ChangePaletteTypeToDirect() {
  const unsigned short width = GetWidth();
  const unsigned short height = GetHeight();
  direct_image_.Create(width, height, 0, 0, 0);
  if (!alpha_image_.IsAvailable()) alpha_image_.Create(width, height, 255);
  const uint32_t texels = uint32_t{width} * height;
  const CData& indices = index_image_.GetColorIndexData();
  unsigned char* reds = direct_image_.GetRedChannel().GetpData();
  unsigned char* greens = direct_image_.GetGreenChannel().GetpData();
  unsigned char* blues = direct_image_.GetBlueChannel().GetpData();
  for (uint32_t i = 0; i < texels; ++i) {
    // Texels without an index, and indices past the palette, decode to black.
    int rgb[3];
    ReadEntry(palette_, i < indices.GetByteSize() ? indices[i] : 0u, rgb);
    reds[i] = static_cast<unsigned char>(rgb[0]);
    greens[i] = static_cast<unsigned char>(rgb[1]);
    blues[i] = static_cast<unsigned char>(rgb[2]);
  }
  index_image_.Clear();
  palette_.Clear();
  type_ = TYPE_DIRECT;
  return true;
}

bool CTexture::ChangeDirectToPaletteType(tType type) {
  palette_.Create(kPaletteEntries[type], 0, 0, 0);
  index_image_.Create(GetWidth(), GetHeight());
  if (!processor_->ConvertToPaletteType(this)) return false;
  type_ = type;
  direct_image_.Clear();
  if (!KeepsAlpha(type)) alpha_image_.Clear();
  return true;
}

bool CTexture::ChangePaletteType(tType type) {
  if (kPaletteEntries[type] < palette_.GetNumber()) {
    ChangePaletteTypeToDirect();
    // When the new reduction fails the texture stays in direct colour with its
    // alpha image.
    if (!ChangeDirectToPaletteType(type)) return true;
  } else {
    type_ = type;
  }
  if (KeepsAlpha(type)) {
    if (!alpha_image_.IsAvailable()) alpha_image_.Create(GetWidth(), GetHeight(), 255);
  } else {
    alpha_image_.Clear();
  }
  return true;
}

bool CTexture::ChangeDirectToTex4x4() {
  const unsigned short width = direct_image_.GetWidth();
  const unsigned short height = direct_image_.GetHeight();
  const unsigned int blocks = uint32_t{width} * height / 16;
  index_image_.Create(width, height);
  palette_.Create(4 * blocks, 0, 0, 0);
  palette_attribute_.Create(blocks, 0);
  palette_address_.Create(internal::kTex4x4AddressBytesCreated, blocks, 0);
  if (!processor_->ConvertToTex4x4(this)) return false;
  direct_image_.Clear();
  alpha_image_.Clear();
  type_ = TYPE_TEX4X4;
  return true;
}

bool CTexture::GetTex4x4Palette(CColorPalette* out, const CColorPalette* palette, unsigned char mode,
                                unsigned short address) {
  const unsigned int copied = internal::Tex4x4CopiedEntries(mode);
  if (copied == 0) return false;
  const unsigned int base = 2u * address;
  tTLBRGB list[4] = {};
  for (unsigned int i = 0; i < copied; ++i) {
    int rgb[3];
    ReadEntry(*palette, base + i, rgb);
    list[i] = {static_cast<unsigned char>(rgb[0]), static_cast<unsigned char>(rgb[1]),
               static_cast<unsigned char>(rgb[2])};
  }
  internal::Tex4x4Interpolate(mode, list);
  // The transparent entry of modes 0 and 1 keeps the caller's colour.
  const unsigned int decoded = internal::Tex4x4DecodedEntries(mode);
  for (unsigned int i = 0; i < decoded; ++i) out->SetValue(list[i].red, list[i].green, list[i].blue, i);
  return true;
}

bool CTexture::ChangeTex4x4ToDirect() {
  const unsigned short width = GetWidth();
  const unsigned short height = GetHeight();
  const unsigned int columns = width / 4u;
  const unsigned int blocks = columns * (height / 4u);
  // Tables shorter than the block count cannot be decoded.
  if (palette_attribute_.GetByteSize() < blocks || palette_address_.GetNumber() < blocks) return false;
  direct_image_.Create(width, height, 0, 0, 0);
  const CData& indices = index_image_.GetColorIndexData();
  for (unsigned int k = 0; k < blocks; ++k) {
    CColorPalette colours;
    colours.Create(4, 0, 0, 0);
    unsigned int address = 0;
    palette_address_.GetValue(&address, k);
    if (!GetTex4x4Palette(&colours, &palette_, palette_attribute_[k], static_cast<unsigned short>(address))) {
      return false;
    }
    const unsigned int x0 = 4 * (k % columns), y0 = 4 * (k / columns);
    for (unsigned int y = y0; y < y0 + 4; ++y) {
      for (unsigned int x = x0; x < x0 + 4; ++x) {
        const uint32_t at = y * width + x;
        const unsigned int index = at < indices.GetByteSize() ? indices[at] : 0u;
        unsigned char r = 0, g = 0, b = 0;
        if (index < 4) colours.GetValue(&r, &g, &b, index);
        direct_image_.SetValue(r, g, b, static_cast<unsigned short>(x), static_cast<unsigned short>(y));
      }
    }
  }
  palette_address_.Clear();
  palette_attribute_.Clear();
  palette_.Clear();
  index_image_.Clear();
  type_ = TYPE_DIRECT;
  return true;
}

bool CTexture::AlignmentImageSize(unsigned short width, unsigned short height) {
  const unsigned int old_width = GetWidth();
  const unsigned int old_height = GetHeight();
  const bool any_plane = direct_image_.IsAvailable() || alpha_image_.IsAvailable() ||
                         index_image_.IsAvailable() || palette_attribute_.IsAvailable() ||
                         palette_address_.IsAvailable();
  if (width < old_width || height < old_height) return false;
  if (!any_plane) return true;
  if (old_width == 0 || old_height == 0) return false;
  // Every plane is grown from the texture's size; planes of another size would
  // be read past their end.
  auto sized = [&](bool available, unsigned int w, unsigned int h) {
    return !available || (w == old_width && h == old_height);
  };
  if (!sized(direct_image_.IsAvailable(), direct_image_.GetWidth(), direct_image_.GetHeight()) ||
      !sized(alpha_image_.IsAvailable(), alpha_image_.GetWidth(), alpha_image_.GetHeight()) ||
      !sized(index_image_.IsAvailable(), index_image_.GetWidth(), index_image_.GetHeight())) {
    return false;
  }
  const TableGrowth growth{old_width, old_height, width, height};
  if (palette_attribute_.IsAvailable() && !growth.Fits(palette_attribute_.GetByteSize())) return false;
  if (palette_address_.IsAvailable() && !growth.Fits(palette_address_.GetNumber())) return false;

  if (direct_image_.IsAvailable()) {
    CDirectColorImage grown;
    grown.Create(width, height, 0, 0, 0);
    PadChannel(direct_image_.GetRedChannel(), old_width, old_height, &grown.GetRedChannel(), width, height);
    PadChannel(direct_image_.GetGreenChannel(), old_width, old_height, &grown.GetGreenChannel(), width,
               height);
    PadChannel(direct_image_.GetBlueChannel(), old_width, old_height, &grown.GetBlueChannel(), width, height);
    direct_image_ = grown;
  }
  if (alpha_image_.IsAvailable()) {
    CAlphaImage grown;
    grown.Create(width, height, 255);
    PadChannel(alpha_image_.GetAlphaChannel(), old_width, old_height, &grown.GetAlphaChannel(), width,
               height);
    alpha_image_ = grown;
  }
  if (index_image_.IsAvailable()) {
    CColorIndexImage grown;
    grown.Create(width, height);
    PadChannel(index_image_.GetColorIndexData(), old_width, old_height, &grown.GetColorIndexData(), width,
               height);
    index_image_ = grown;
  }
  if (palette_attribute_.IsAvailable()) {
    CData grown;
    grown.Create(growth.NewCount(), 0);
    growth.Run([&](uint64_t i) -> unsigned int { return palette_attribute_[static_cast<unsigned int>(i)]; },
               [&](uint64_t i, unsigned int v) {
                 grown[static_cast<unsigned int>(i)] = static_cast<unsigned char>(v);
               },
               [&](uint64_t i) -> unsigned int { return grown[static_cast<unsigned int>(i)]; });
    palette_attribute_ = grown;
  }
  if (palette_address_.IsAvailable()) {
    CByteData grown;
    grown.Create(internal::kTex4x4AddressBytesRegrown, growth.NewCount(), 0);
    growth.Run(
        [&](uint64_t i) {
          unsigned int v = 0;
          palette_address_.GetValue(&v, static_cast<unsigned int>(i));
          return v;
        },
        [&](uint64_t i, unsigned int v) { grown.SetValue(v, static_cast<unsigned int>(i)); },
        [&](uint64_t i) {
          unsigned int v = 0;
          grown.GetValue(&v, static_cast<unsigned int>(i));
          return v;
        });
    palette_address_ = grown;
  }
  return true;
}

}  // namespace Kelvane
