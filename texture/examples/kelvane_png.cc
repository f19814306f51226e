// PNG reading and writing for the texture examples, through libpng.
#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstring>

#include "kelvane_image_loader.h"

namespace kelvane_example {

namespace {

constexpr size_t kLargestPngPixels = size_t{1} << 26;

// libpng reports errors through a callback that must not return; it jumps
// back to the png_jmpbuf set by the caller. Nothing here owns resources.
[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

struct PngSource {
  const std::vector<uint8_t>* bytes;
  size_t at;
};

void PngRead(png_structp png, png_bytep out, size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->bytes->size() - source->at < length) png_error(png, "cut short");
  std::memcpy(out, source->bytes->data() + source->at, length);
  source->at += length;
}

void PngWrite(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}

// Reads the header and sets the expansions to 8-bit RGB or RGBA. Returns the
// channel count (3 or 4), or 0 when libpng refuses the data.
int ReadPngHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_read_info(png, info);
  int depth = 0, colour = 0;
  png_get_IHDR(png, info, width, height, &depth, &colour, nullptr, nullptr, nullptr);
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (has_trns) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  if (png_get_bit_depth(png, info) != 8 || (channels != 3 && channels != 4)) return 0;
  return channels;
}

bool ReadPngRows(png_structp png, png_infop info, std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows->data());
  png_read_end(png, info);
  return true;
}

bool WritePngRows(png_structp png, png_infop info, const Image& image, int colour,
                  std::vector<png_bytep>* rows, std::string* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, PngWrite, PngFlush);
  png_set_IHDR(png, info, image.width, image.height, 8, colour, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows->data());
  png_write_end(png, info);
  return true;
}

}  // namespace

LoadStatus DecodePng(const std::vector<uint8_t>& bytes, Image* image) {
  if (!IsPng(bytes)) return LoadStatus::kNotAnImage;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (png == nullptr) return LoadStatus::kCannotRead;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return LoadStatus::kCannotRead;
  }
  PngSource source{&bytes, 0};
  png_set_read_fn(png, &source, PngRead);
  png_uint_32 width = 0, height = 0;
  const int channels = ReadPngHeader(png, info, &width, &height);
  LoadStatus status = LoadStatus::kNotAnImage;
  if (channels != 0 && (width > kLargestSide || height > kLargestSide ||
                        size_t{width} * height > kLargestPngPixels)) {
    status = LoadStatus::kTooLarge;
  } else if (channels != 0) {
    const size_t stride = size_t{width} * static_cast<size_t>(channels);
    std::vector<unsigned char> pixels(stride * height);
    std::vector<png_bytep> rows(height);
    for (size_t y = 0; y < height; ++y) rows[y] = pixels.data() + y * stride;
    if (ReadPngRows(png, info, &rows)) {
      const size_t count = size_t{width} * height;
      image->width = width;
      image->height = height;
      image->rgb.resize(count * 3);
      image->alpha.clear();
      if (channels == 4) {
        image->alpha.resize(count);
        for (size_t i = 0; i < count; ++i) {
          std::memcpy(&image->rgb[3 * i], &pixels[4 * i], 3);
          image->alpha[i] = pixels[4 * i + 3];
        }
      } else {
        image->rgb.swap(pixels);
      }
      status = LoadStatus::kOk;
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return status;
}

bool EncodePng(const Image& image, std::string* png_bytes) {
  const bool with_alpha = !image.alpha.empty();
  const size_t channels = with_alpha ? 4 : 3;
  const size_t count = size_t{image.width} * image.height;
  std::vector<unsigned char> pixels;
  if (with_alpha) {
    pixels.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
      std::memcpy(&pixels[4 * i], &image.rgb[3 * i], 3);
      pixels[4 * i + 3] = image.alpha[i];
    }
  } else {
    pixels = image.rgb;
  }
  std::vector<png_bytep> rows(image.height);
  for (size_t y = 0; y < image.height; ++y) rows[y] = pixels.data() + y * image.width * channels;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  bool ok = false;
  if (info != nullptr) {
    png_bytes->clear();
    ok = WritePngRows(png, info, image, with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, &rows,
                      png_bytes);
  }
  png_destroy_write_struct(&png, &info);
  return ok;
}

}  // namespace kelvane_example
