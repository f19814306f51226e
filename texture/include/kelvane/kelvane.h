// kelvane: the texture library of the kit.
//
// A host program fills a CTexture with a true-colour image (and, for
// transparency, an alpha image), converts it into one of the console's texture
// types and reads the planes back. All names live in the namespace Kelvane.
//
// Ownership: the host creates and owns every object. Each object owns its
// channels and releases them in its destructor; copies are deep. A texture
// holds a pointer to a colour processor that it never owns. The library owns
// exactly one object of its own, the default colour processor, which lives from
// library load to unload.
//
// Binary interface: the member order of every class, the order of the virtual
// operations and the layout of CDefaultColorProcessor::tConvertFactor are what
// host programs compile against. Do not reorder them.
//
// No getter or setter checks its index or coordinates: staying in range is the
// caller's duty. Failures are reported by a bool result or by -1 from searches.
#pragma once

#include <kelvane/kelvane_export.h>

/// A colour of three unsigned 8-bit channels, passed by value to the 4x4-block
/// helpers. Host code may also name it Kelvane::tTLBRGB.
struct tTLBRGB {
  unsigned char red;
  unsigned char green;
  unsigned char blue;
};

namespace Kelvane {

using ::tTLBRGB;

class CTexture;

/// A growable array of unsigned bytes: one colour channel of an image or palette.
class KELVANE_API CData {
 public:
  CData();
  CData(const CData& other);
  /// Assigning an empty source leaves this container unavailable, even when the
  /// source was available.
  CData& operator=(const CData& other);
  virtual ~CData();

  /// Releases the old storage and holds `count` bytes of `fill`; available.
  void Create(unsigned int count, unsigned char fill);
  /// Unavailable, size 0, storage released.
  void Clear();
  /// Cuts (cut bytes become 0) or grows (new bytes are 0) to `size` elements.
  /// The available flag is not changed.
  void ChangeNumber(unsigned int size);

  unsigned char* GetpData() const { return data_; }
  unsigned int GetByteSize() const { return byte_size_; }
  unsigned char& operator[](unsigned int position) { return data_[position]; }
  const unsigned char& operator[](unsigned int position) const { return data_[position]; }
  void GetValue(unsigned char* out, unsigned int position) const { *out = data_[position]; }
  /// Const because the bytes are not part of the object's constant state.
  void SetValue(unsigned char value, unsigned int position) const { data_[position] = value; }
  bool IsAvailable() const { return available_; }

  /// Sorts the bytes from `first` to `last` inclusive, permuting `index`
  /// (when not null) alongside. The order of equal keys is that of a selection
  /// sort that scans from each position for the first strictly more extreme
  /// byte and exchanges it into place; callers depend on that order.
  void QuickSortTopDown(unsigned int* index, unsigned int first, unsigned int last, bool descending);

 private:
  bool available_;
  unsigned int byte_size_;
  unsigned char* data_;
};

/// A fixed-width array whose elements are 1, 2 or 4 bytes wide, stored in the
/// host's byte order.
class KELVANE_API CByteData {
 public:
  CByteData();
  CByteData(const CByteData& other);
  CByteData& operator=(const CByteData& other);
  virtual ~CByteData();

  /// Holds `number` elements of `byte_count` bytes, each set to `fill` (its low
  /// 8 or 16 bits for narrower elements). A width other than 1, 2 or 4 with a
  /// non-zero fill gives zero bytes.
  void Create(unsigned char byte_count, unsigned int number, unsigned int fill);
  /// Releases the storage and zeroes every member.
  void Clear();

  /// Element `index`, zero-extended. Widths other than 1, 2 or 4 leave `out` unchanged.
  void GetValue(unsigned int* out, unsigned int index) const;
  /// Stores the low 8, 16 or 32 bits of `value` as element `index`.
  void SetValue(unsigned int value, unsigned int index);

  unsigned char GetByteCount() const { return byte_count_; }
  unsigned int GetNumber() const { return number_; }
  unsigned char* GetpData() const { return data_; }
  /// The BYTE at `position` of the storage (a byte index, not an element index).
  unsigned char& operator[](unsigned int position) { return data_[position]; }
  const unsigned char& operator[](unsigned int position) const { return data_[position]; }
  bool IsAvailable() const { return available_; }

 private:
  bool available_;
  unsigned int byte_size_;
  unsigned char byte_count_;
  unsigned int number_;
  unsigned char* data_;
};

/// One alpha byte per pixel; pixel (x, y) is element y * width + x.
class KELVANE_API CAlphaImage {
 public:
  CAlphaImage();
  CAlphaImage(const CAlphaImage& other);
  CAlphaImage& operator=(const CAlphaImage& other);
  virtual ~CAlphaImage();

  void Create(unsigned short width, unsigned short height, unsigned char fill);
  void Clear();
  unsigned short GetWidth() const { return width_; }
  unsigned short GetHeight() const { return height_; }
  bool IsAvailable() const { return available_; }
  CData& GetAlphaChannel() { return alpha_; }
  const CData& GetAlphaChannel() const { return alpha_; }
  void GetValue(unsigned char* out, unsigned short x, unsigned short y) const;
  void SetValue(unsigned char value, unsigned short x, unsigned short y);

 private:
  bool available_;
  unsigned short width_;
  unsigned short height_;
  CData alpha_;
};

/// One palette index byte per pixel.
class KELVANE_API CColorIndexImage {
 public:
  CColorIndexImage();
  CColorIndexImage(const CColorIndexImage& other);
  CColorIndexImage& operator=(const CColorIndexImage& other);
  virtual ~CColorIndexImage();

  /// Every index 0.
  void Create(unsigned short width, unsigned short height);
  void Clear();
  unsigned short GetWidth() const { return width_; }
  unsigned short GetHeight() const { return height_; }
  bool IsAvailable() const { return available_; }
  CData& GetColorIndexData() { return index_; }
  const CData& GetColorIndexData() const { return index_; }
  /// width * height.
  unsigned int GetNumber() const;
  void GetValue(unsigned char* out, unsigned short x, unsigned short y) const;
  void SetValue(unsigned char value, unsigned short x, unsigned short y);

 private:
  bool available_;
  unsigned short width_;
  unsigned short height_;
  CData index_;
};

/// Red, green and blue bytes per pixel.
class KELVANE_API CDirectColorImage {
 public:
  CDirectColorImage();
  CDirectColorImage(const CDirectColorImage& other);
  CDirectColorImage& operator=(const CDirectColorImage& other);
  virtual ~CDirectColorImage();

  void Create(unsigned short width, unsigned short height, unsigned char red, unsigned char green,
              unsigned char blue);
  void Clear();
  unsigned short GetWidth() const { return width_; }
  unsigned short GetHeight() const { return height_; }
  bool IsAvailable() const { return available_; }
  CData& GetRedChannel() { return red_; }
  const CData& GetRedChannel() const { return red_; }
  CData& GetGreenChannel() { return green_; }
  const CData& GetGreenChannel() const { return green_; }
  CData& GetBlueChannel() { return blue_; }
  const CData& GetBlueChannel() const { return blue_; }
  /// width * height.
  unsigned int GetNumber() const;
  void GetValue(unsigned char* red, unsigned char* green, unsigned char* blue, unsigned short x,
                unsigned short y) const;
  void SetValue(unsigned char red, unsigned char green, unsigned char blue, unsigned short x,
                unsigned short y);

 private:
  bool available_;
  unsigned short width_;
  unsigned short height_;
  CData red_;
  CData green_;
  CData blue_;
};

/// A list of red, green, blue entries, with the colour operations that palette
/// reduction needs.
class KELVANE_API CColorPalette {
 public:
  CColorPalette();
  CColorPalette(const CColorPalette& other);
  CColorPalette& operator=(const CColorPalette& other);
  virtual ~CColorPalette();

  void Create(unsigned int count, unsigned char red, unsigned char green, unsigned char blue);
  void Clear();
  /// Cut entries vanish, new entries are black; the flag is unchanged.
  void ChangeNumber(unsigned int count);
  unsigned int GetNumber() const { return red_.GetByteSize(); }
  CData& GetRedChannel() { return red_; }
  const CData& GetRedChannel() const { return red_; }
  CData& GetGreenChannel() { return green_; }
  const CData& GetGreenChannel() const { return green_; }
  CData& GetBlueChannel() { return blue_; }
  const CData& GetBlueChannel() const { return blue_; }
  void GetValue(unsigned char* red, unsigned char* green, unsigned char* blue, unsigned int entry) const;
  void SetValue(unsigned char red, unsigned char green, unsigned char blue, unsigned int entry);
  bool IsAvailable() const { return available_; }

  /// The lowest entry equal to the colour, or -1.
  int FindColor(unsigned char red, unsigned char green, unsigned char blue);
  /// Sorts the entries by the luminance key (77 r + 151 g + 28 b) >> 8.
  void QuickSortTopDown(bool descending);
  /// Keeps the `bits` high bits of every channel value and repeats them into
  /// the low bits (5 gives the 8-bit value of the console's 5-bit colour).
  void CommonLowerBit(unsigned char bits);
  /// Removes duplicate entries, keeping first appearances in order; available.
  void CutCommonColor();

 private:
  bool available_;
  CData red_;
  CData green_;
  CData blue_;
};

/// The interface through which a texture makes its colour decisions. A host may
/// derive its own processor and install it with CTexture::SetColorProcessor.
class KELVANE_API CColorProcessor {
 public:
  CColorProcessor() = default;
  CColorProcessor(const CColorProcessor&) = default;
  CColorProcessor& operator=(const CColorProcessor&) = default;
  virtual ~CColorProcessor();

  /// Takes the processor's settings as raw memory.
  virtual void SetConvertFactor(const void* factor) = 0;
  /// The nearest palette entry to the colour, skipping `excluded` (-1: none).
  virtual int FindNearColor(const CColorPalette* palette, unsigned char red, unsigned char green,
                            unsigned char blue, short excluded) = 0;
  /// Fills the palette and index image that the texture has prepared from its
  /// direct colour and alpha images; false on failure.
  virtual bool ConvertToPaletteType(CTexture* texture) = 0;
  /// Fills the 4x4-block planes of the texture; false on failure.
  virtual bool ConvertToTex4x4(CTexture* texture) = 0;
};

/// The library's colour processor.
class KELVANE_API CDefaultColorProcessor : public CColorProcessor {
 public:
  /// How the colours of a 4x4 block are chosen (values above 3 act as 3).
  enum tAlgorithm : unsigned int {
    ALGORITHM_HILOW = 0,
    ALGORITHM_HILOW_LINEAR = 1,
    ALGORITHM_ROUNDROBIN = 2,
    ALGORITHM_ROUNDROBIN_LINEAR = 3,
  };

  /// The settings; copied whole by SetConvertFactor and GetConvertFactor.
  struct tConvertFactor {
    bool useTransparency;
    tAlgorithm algorithm;
    unsigned char transparentRed;
    unsigned char transparentGreen;
    unsigned char transparentBlue;
    /// Transparency from the texture's alpha image (below 128 is transparent)
    /// instead of from the key colour.
    bool useAlphaImage;
    unsigned char toleranceRed;
    unsigned char toleranceGreen;
    unsigned char toleranceBlue;
    bool sharePalette;
    /// When set, used instead of a computed palette; not owned.
    const CColorPalette* pFixedPalette;
  };

  /// All settings zero.
  CDefaultColorProcessor();
  CDefaultColorProcessor(const CDefaultColorProcessor& other);
  CDefaultColorProcessor& operator=(const CDefaultColorProcessor& other);
  ~CDefaultColorProcessor() override;

  /// Copies a whole tConvertFactor from `factor`.
  void SetConvertFactor(const void* factor) override;
  tConvertFactor GetConvertFactor() const { return factor_; }

  /// The lowest entry at the smallest colour distance, held in 8 bits (an
  /// empty palette gives 0).
  int FindNearColor(const CColorPalette* palette, unsigned char red, unsigned char green, unsigned char blue,
                    short excluded) override;
  bool ConvertToPaletteType(CTexture* texture) override;
  /// Encodes the 4x4-block planes that the texture has prepared (index image,
  /// a palette of 4 entries per block, attribute and address tables of one
  /// element per block) from its direct colour image and, with transparency,
  /// its alpha image or the key colour. Each block chooses up to four colours
  /// (Get4Color_Tex4x4), stores them as a run in the palette (or shares an
  /// earlier matching run), and maps its texels; a palette of more than 32768
  /// entries is then reduced in passes of growing tolerance. Planes missing or
  /// of the wrong size are made. False when the direct image is missing or its
  /// sides are not multiples of 4, when an alpha image to be read has another
  /// size, when the nearest-colour search gives -1 or when 30 reduction passes
  /// do not suffice.
  bool ConvertToTex4x4(CTexture* texture) override;

  /// Appends the colour of every texel whose alpha reaches `threshold` (every
  /// texel when `alpha` is null) to `out`, then cuts `out` to that number. `out`
  /// must hold at least width * height entries. Returns true.
  bool CreateColorMemory(CColorPalette* out, const CDirectColorImage* image, const CAlphaImage* alpha,
                         unsigned char threshold);
  /// Median-cut reduction of `colours` (duplicates weigh in) to as many
  /// colours as `out` has entries.
  void CompressPalette_MedhianCut(CColorPalette* out, const CColorPalette* colours);

  /// The lowest even position p of `palette` where entries p to p + m - 1 (m
  /// the number of `block` colours) all lie below `used` and each channel of
  /// each differs from block colour j by at most that channel's tolerance; -1
  /// when there is none. With no block colours, 0 matches when `used` is not 0.
  int FindNearPalette(const CColorPalette* block, const CColorPalette* palette, unsigned int used,
                      unsigned char toleranceRed, unsigned char toleranceGreen, unsigned char toleranceBlue);
  /// Rebuilds the texture palette block by block: a block's run (2 entries for
  /// modes 1 and 3, else 4) goes to the first position of the new palette
  /// whose entries match it within the tolerances, or is appended. Addresses
  /// are rewritten to match. Returns true.
  bool CompressColorNumber_Tex4x4(CColorPalette* palette, CByteData* address, const CData* attribute,
                                  unsigned char toleranceRed, unsigned char toleranceGreen,
                                  unsigned char toleranceBlue);
  /// Copies the 4 x 4 texels at (x, y) of `image` into `block` (created 4 x 4).
  void MakeBlockDirectColorImage_Tex4x4(CDirectColorImage* block, const CDirectColorImage* image,
                                        unsigned short x, unsigned short y);
  /// Block alpha 0 where the block texel equals `key`, else 255; true when any
  /// texel equals it.
  bool MakeBlockAlphaImageUseTransparentColor_Tex4x4(CAlphaImage* block, const CDirectColorImage* image,
                                                     tTLBRGB key);
  /// Block alpha 255 where the alpha of the texel at (x + j, y + i) reaches
  /// `threshold`, else 0; true when fewer than 16 texels reach it.
  bool MakeBlockAlphaImageUseAlpha_Tex4x4(CAlphaImage* block, const CAlphaImage* alpha, unsigned short x,
                                          unsigned short y, unsigned char threshold);

  /// Chooses a block's colours into `out` from the texels whose block alpha
  /// reaches 128, reduced to 5 bits per channel: blocks of at most two distinct
  /// colours get their own (SetPalette_Tex4x4), others the algorithm's choice.
  /// Entry 0 is the brightest, entry 1 the darkest, then the rest from bright
  /// to dark. `out` ends with as many entries as colours were chosen.
  bool Get4Color_Tex4x4(CColorPalette* out, bool transparent, const CDirectColorImage* block,
                        const CAlphaImage* alpha, tAlgorithm algorithm);
  /// The result for few distinct colours (0 to 4); more leave `out` untouched.
  bool SetPalette_Tex4x4(CColorPalette* out, const CColorPalette* colours, bool transparent);
  /// Brightest, darkest and evenly spaced colours of the luminance order
  /// (2 with `two_colours`, else 3 when transparent, else 4). `colours` must
  /// hold at least one colour.
  bool Get4ColorHiLow_Tex4x4(CColorPalette* out, const CColorPalette* colours, bool transparent,
                             bool two_colours);
  /// The choice of 2 (expanded by interpolation), 3 or 4 of the colours with
  /// the least total distance of every colour to its nearest chosen one; ties
  /// keep the earlier choice. `colours` must hold at least that many colours.
  bool Get4ColorRoundRobin_Tex4x4(CColorPalette* out, const CColorPalette* colours, bool transparent,
                                  bool two_colours);
  /// Expands a 2-colour list c0, c1 to 3 entries (transparent: c0, c1,
  /// (c0 + c1) / 2) or 4 (c0, c1, (5 c0 + 3 c1) / 8, (3 c0 + 5 c1) / 8).
  void ConvertLinearColorPalette_Tex4x4(CColorPalette* colours, bool transparent);

 private:
  tConvertFactor factor_;
};

/// A colour processor that chooses palettes closer to the picture than the
/// library's own, for the palette types, and can dither the texels it maps.
///
/// It takes the same settings as CDefaultColorProcessor (tConvertFactor:
/// transparency from the key colour or the alpha image, fixed palette, 4x4
/// settings) and handles transparency exactly as that processor does: with
/// `useTransparency`, transparent texels get index 0, entry 0 holds the key
/// colour and no other texel maps to it (unless a fixed palette is used).
///
/// Palette choice (QUALITY_REFINED): when the opaque texels have no more
/// distinct colours, each rounded to the nearest colour of the console's 5-bit
/// grid, than the palette has room for, those colours in order of first
/// appearance; otherwise boxes of the colour histogram are split where their
/// error is largest, and Lloyd (k-means) iterations then move every colour to
/// the 5-bit grid point nearest the mean of the texels nearest to it. The
/// distance is 3 (dr)^2 + 4 (dg)^2 + 2 (db)^2; texels map to the nearest
/// entry by it. The palette holds distinct colours, brightest first.
/// QUALITY_REFERENCE keeps the palette and the nearest-colour search of
/// CDefaultColorProcessor: without dithering its results are that
/// processor's, byte for byte.
///
/// Dithering (`ditherStrength` above 0): texels are mapped row by row, left
/// to right and right to left in turn, and the part `ditherStrength` / 100 of
/// each texel's error is passed on to its unmapped neighbours (7/16 ahead,
/// 3/16, 5/16 and 1/16 below). The error a texel takes is cut, per channel, to
/// the gap between its nearest entry and that entry's nearest other entry,
/// plus 8, so that a region of colours outside the palette does not scatter
/// far colours. Transparent
/// texels neither take nor pass on error.
///
/// The results are the same bytes on every run and every machine, whatever
/// the number of threads. 4x4-block textures are encoded as
/// CDefaultColorProcessor encodes them with the same settings.
class KELVANE_API CRefinedColorProcessor : public CColorProcessor {
 public:
  /// How the palette of a palette type is chosen.
  enum tQuality : unsigned int {
    QUALITY_REFINED = 0,
    /// The palette and search of CDefaultColorProcessor.
    QUALITY_REFERENCE = 1,
  };

  /// The refinement settings; copied whole by SetRefineFactor and
  /// GetRefineFactor. All zero: refined palettes, no dithering, all cores.
  struct tRefineFactor {
    tQuality quality;
    /// The percentage of each texel's error passed on: 0 (no dithering) to
    /// 100; larger values act as 100.
    unsigned int ditherStrength;
    /// At most this many threads choose a palette; 0: one per core. The
    /// result does not depend on it.
    unsigned int threads;
  };

  /// Conversion settings zero (as CDefaultColorProcessor's), refinement
  /// settings zero.
  CRefinedColorProcessor();
  CRefinedColorProcessor(const CRefinedColorProcessor& other);
  CRefinedColorProcessor& operator=(const CRefinedColorProcessor& other);
  ~CRefinedColorProcessor() override;

  /// Copies a whole CDefaultColorProcessor::tConvertFactor from `factor`.
  void SetConvertFactor(const void* factor) override;
  CDefaultColorProcessor::tConvertFactor GetConvertFactor() const;
  void SetRefineFactor(const tRefineFactor& factor);
  tRefineFactor GetRefineFactor() const { return refine_; }

  /// The lowest entry at the smallest distance of the chosen quality (the
  /// refined distance, or CDefaultColorProcessor's); an empty palette gives 0.
  int FindNearColor(const CColorPalette* palette, unsigned char red, unsigned char green, unsigned char blue,
                    short excluded) override;
  /// Fills the palette and index image that the texture has prepared. A class
  /// derived from this one gets its FindNearColor called for every opaque
  /// texel (with dithering, for its colour and for the colour that dithering
  /// has moved it to). False when a
  /// plane is missing or of another size, for a fixed palette that is not
  /// available or empty, and when FindNearColor gives -1.
  bool ConvertToPaletteType(CTexture* texture) override;
  /// As CDefaultColorProcessor::ConvertToTex4x4 with the same settings.
  bool ConvertToTex4x4(CTexture* texture) override;

 private:
  CDefaultColorProcessor reference_;
  tRefineFactor refine_;
};

/// A texture: every plane that any texture type needs, the type of its current
/// contents, and conversions between types.
class KELVANE_API CTexture {
 public:
  /// The texture type. Values 0 to 4 are the palette types.
  enum tType : unsigned int {
    TYPE_PALETTE4 = 0,
    TYPE_A5I3 = 1,
    TYPE_PALETTE16 = 2,
    TYPE_A3I5 = 3,
    TYPE_PALETTE256 = 4,
    /// 4x4-block compression: 2-bit texel indices into per-block colour lists
    /// whose runs share one palette of at most 32768 entries.
    TYPE_TEX4X4 = 5,
    TYPE_DIRECT = 6,
    TYPE_NONE = 255,
  };

  CTexture();
  /// Deep copies; the processor pointer is shared, not copied.
  CTexture(const CTexture& other);
  CTexture& operator=(const CTexture& other);
  virtual ~CTexture();

  /// Clears every plane; type TYPE_NONE; the default colour processor.
  void Clear();

  CColorIndexImage& GetColorIndexImage() { return index_image_; }
  const CColorIndexImage& GetColorIndexImage() const { return index_image_; }
  CColorPalette& GetColorPalette() { return palette_; }
  const CColorPalette& GetColorPalette() const { return palette_; }
  CDirectColorImage& GetDirectColorImage() { return direct_image_; }
  const CDirectColorImage& GetDirectColorImage() const { return direct_image_; }
  CAlphaImage& GetAlphaImage() { return alpha_image_; }
  const CAlphaImage& GetAlphaImage() const { return alpha_image_; }
  CData& GetColorPaletteAttribute() { return palette_attribute_; }
  const CData& GetColorPaletteAttribute() const { return palette_attribute_; }
  CByteData& GetColorPaletteAddress() { return palette_address_; }
  const CByteData& GetColorPaletteAddress() const { return palette_address_; }

  CColorProcessor* GetColorProcessor() const { return processor_; }
  /// Null selects the default colour processor. Any other processor is not
  /// owned and must stay valid while the texture converts.
  void SetColorProcessor(CColorProcessor* processor);

  tType GetType() const { return type_; }
  /// Declares the type of planes the host filled itself; converts nothing.
  void SetType(tType type) { type_ = type; }
  /// The index image's size when available, else the direct image's, else 0.
  unsigned short GetWidth() const;
  unsigned short GetHeight() const;
  bool IsPaletteType() const { return type_ < TYPE_TEX4X4; }

  /// Converts to `type`. False for a type above TYPE_DIRECT and for
  /// TYPE_TEX4X4 when a side is not a multiple of 4 (nothing changes) or when
  /// the 4x4 encoding fails. A palette target always returns true: GetType()
  /// tells whether the conversion took place.
  bool Convert(tType type);
  /// Grows every plane and table to the new size, repeating the last column
  /// and row. Refuses (false, nothing changed) a size smaller than the current
  /// one, and planes of a texture with width or height 0 or of sizes that do
  /// not agree with each other.
  bool AlignmentImageSize(unsigned short width, unsigned short height);

 protected:
  bool ChangePaletteTypeToDirect();
  bool ChangeDirectToPaletteType(tType type);
  bool ChangePaletteType(tType type);
  bool ChangeDirectToTex4x4();
  bool ChangeTex4x4ToDirect();
  bool GetTex4x4Palette(CColorPalette* out, const CColorPalette* palette, unsigned char mode,
                        unsigned short address);

 private:
  CColorIndexImage index_image_;
  CColorPalette palette_;
  CDirectColorImage direct_image_;
  CAlphaImage alpha_image_;
  CData palette_attribute_;
  CByteData palette_address_;
  tType type_;
  CColorProcessor* processor_;
};

/// The texture data writer: turns a converted texture into the console's
/// texel, palette and (TYPE_TEX4X4) palette index data, each a block of bytes
/// in a buffer that the host allocates after asking GetDataByteSize for the
/// sizes. With `near_size` the texture is first grown, in place, to the
/// power-of-two sides from 8 to 1024 that the console accepts.
///
/// Words are little-endian. A colour word holds red >> 3 in bits 0 to 4,
/// green >> 3 in bits 5 to 9 and blue >> 3 in bits 10 to 14; bit 15 is 0 in
/// palette entries and, in TYPE_DIRECT texels, 1 when the texel's alpha is
/// above 0. Texels go row by row from the top, left to right:
/// - TYPE_PALETTE4, TYPE_PALETTE16: 2 or 4 bits per texel, from bit 0 up of
///   consecutive 16-bit words;
/// - TYPE_PALETTE256: one index byte per texel; TYPE_A5I3 and TYPE_A3I5: one
///   byte of index (3 or 5 low bits) and alpha (its 5 or 3 high bits);
/// - TYPE_TEX4X4: one 32-bit word per 4x4 block (blocks row by row), texel
///   (column c, row r) of the block in bits 2 (4 r + c) and up; the palette
///   index data holds one 16-bit word per block: mode in bits 14 and 15,
///   palette address in bits 0 to 13;
/// - TYPE_DIRECT: one colour word per texel.
/// A missing alpha image counts as fully opaque.
class KELVANE_API CMvx {
 public:
  /// The host's buffers and their sizes in bytes; owned by the host.
  struct tMemory {
    unsigned char* pTexelData;
    unsigned int texelDataSize;
    unsigned char* pPaletteData;
    unsigned int paletteDataSize;
    /// TYPE_TEX4X4 only.
    unsigned char* pPaletteIndexData;
    unsigned int paletteIndexDataSize;
  };

  CMvx();
  /// Nothing to copy.
  CMvx& operator=(const CMvx& other);
  virtual ~CMvx();

  /// The smallest of 8, 16, ..., 1024 that is at least `size`; -1 for 0 and
  /// for sizes above 1024.
  int GetNearMVXSize(unsigned short size) const;
  /// The sizes of the three data blocks for the texture as it is, or as it
  /// will be grown with `near_size`. PALETTE4 and PALETTE16 texels fill whole
  /// 16-bit words. False when a side cannot be grown, or a size does not fit
  /// 32 bits.
  bool GetDataByteSize(unsigned int* texel_bytes, unsigned int* palette_bytes,
                       unsigned int* palette_index_bytes, CTexture* texture, bool near_size) const;
  /// Zeroes the buffers over the sizes in `memory`, then fills them. False
  /// (with what is written so far) when the texture cannot be grown, for
  /// TYPE_NONE, when a buffer the type needs is null or smaller than
  /// GetDataByteSize reports, and when the planes do not agree with the
  /// texture's size. The texture stays at the grown size.
  bool Write(tMemory* memory, CTexture* texture, bool near_size) const;

 private:
  /// Writers are not copied.
  CMvx(const CMvx& other);
};

}  // namespace Kelvane
