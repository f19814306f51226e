// kelvane_convert: a small host program for the texture library. It reads a
// binary PPM, converts it to a texture type, prints a summary and writes a PPM
// preview of the converted texture decoded back to direct colour.
//
//   kelvane_convert [--key R,G,B] INPUT.ppm TYPE PREVIEW.ppm
//
// TYPE is one of palette4, a5i3, palette16, a3i5, palette256, tex4x4, direct.
// --key makes texels of exactly that colour transparent; they show magenta in
// the preview.
#include <kelvane/kelvane.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/file_io.h"

namespace {

using Kelvane::CTexture;

struct Image {
  unsigned int width = 0;
  unsigned int height = 0;
  std::vector<unsigned char> rgb;
};

bool ReadNumber(const std::vector<unsigned char>& bytes, size_t* at, unsigned int* value) {
  while (*at < bytes.size()) {
    if (bytes[*at] == '#') {
      while (*at < bytes.size() && bytes[*at] != '\n') ++*at;
    } else if (std::strchr(" \t\r\n", bytes[*at]) != nullptr) {
      ++*at;
    } else {
      break;
    }
  }
  unsigned long v = 0;
  size_t digits = 0;
  while (*at < bytes.size() && bytes[*at] >= '0' && bytes[*at] <= '9' && digits < 9) {
    v = v * 10 + (bytes[*at] - '0');
    ++*at;
    ++digits;
  }
  *value = static_cast<unsigned int>(v);
  return digits > 0;
}

bool ReadPpm(const char* path, Image* image) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::vector<unsigned char> bytes;
  unsigned char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return false;
  size_t at = 2;
  unsigned int maxval = 0;
  if (!ReadNumber(bytes, &at, &image->width) || !ReadNumber(bytes, &at, &image->height) ||
      !ReadNumber(bytes, &at, &maxval) || maxval != 255 || at >= bytes.size()) {
    return false;
  }
  ++at;  // the single white-space byte after the maxval
  if (image->width == 0 || image->height == 0 || image->width > 65535 || image->height > 65535) return false;
  const size_t size = size_t{image->width} * image->height * 3;
  if (bytes.size() - at < size) return false;
  image->rgb.assign(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
  return true;
}

bool WritePpm(const char* path, const Image& image) {
  std::string bytes = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  bytes.append(image.rgb.begin(), image.rgb.end());
  return support::WriteOutputFile(path, bytes.data(), bytes.size()) == support::WriteStatus::kOk;
}

bool ParseType(const std::string& name, CTexture::tType* type) {
  static const struct {
    const char* name;
    CTexture::tType type;
  } kTypes[] = {{"palette4", CTexture::TYPE_PALETTE4},     {"a5i3", CTexture::TYPE_A5I3},
                {"palette16", CTexture::TYPE_PALETTE16},   {"a3i5", CTexture::TYPE_A3I5},
                {"palette256", CTexture::TYPE_PALETTE256}, {"tex4x4", CTexture::TYPE_TEX4X4},
                {"direct", CTexture::TYPE_DIRECT}};
  for (const auto& t : kTypes) {
    if (name == t.name) {
      *type = t.type;
      return true;
    }
  }
  return false;
}

const char* kUsage = "usage: kelvane_convert [--key R,G,B] INPUT.ppm TYPE PREVIEW.ppm\n";

}  // namespace

int main(int argc, char** argv) {
  Kelvane::CDefaultColorProcessor::tConvertFactor factor{};
  int arg = 1;
  if (arg + 1 < argc && std::strcmp(argv[arg], "--key") == 0) {
    unsigned int r, g, b;
    if (std::sscanf(argv[arg + 1], "%u,%u,%u", &r, &g, &b) != 3 || r > 255 || g > 255 || b > 255) {
      std::fputs(kUsage, stderr);
      return 1;
    }
    factor.useTransparency = true;
    factor.transparentRed = static_cast<unsigned char>(r);
    factor.transparentGreen = static_cast<unsigned char>(g);
    factor.transparentBlue = static_cast<unsigned char>(b);
    arg += 2;
  }
  CTexture::tType type;
  if (argc - arg != 3 || !ParseType(argv[arg + 1], &type)) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  Image input;
  if (!ReadPpm(argv[arg], &input)) {
    std::fprintf(stderr, "kelvane_convert: cannot read binary PPM %s\n", argv[arg]);
    return 1;
  }

  Kelvane::CDefaultColorProcessor processor;
  processor.SetConvertFactor(&factor);
  CTexture texture;
  texture.SetColorProcessor(&processor);
  const auto width = static_cast<unsigned short>(input.width);
  const auto height = static_cast<unsigned short>(input.height);
  texture.GetDirectColorImage().Create(width, height, 0, 0, 0);
  texture.GetAlphaImage().Create(width, height, 255);
  for (unsigned int y = 0; y < input.height; ++y) {
    for (unsigned int x = 0; x < input.width; ++x) {
      const unsigned char* p = &input.rgb[(size_t{y} * input.width + x) * 3];
      texture.GetDirectColorImage().SetValue(p[0], p[1], p[2], static_cast<unsigned short>(x),
                                             static_cast<unsigned short>(y));
    }
  }
  texture.SetType(CTexture::TYPE_DIRECT);

  const auto start = std::chrono::steady_clock::now();
  const bool converted = texture.Convert(type) && texture.GetType() == type;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!converted) {
    std::fprintf(stderr, "kelvane_convert: conversion to %s failed\n", argv[arg + 1]);
    return 1;
  }
  std::printf("input: %s (%ux%u)\n", argv[arg], input.width, input.height);
  std::printf("type: %s\n", argv[arg + 1]);
  std::printf("palette entries: %u\n", texture.GetColorPalette().GetNumber());
  std::printf("conversion: %.3f s\n", seconds);

  // Decode back for the preview.
  CTexture decoded(texture);
  decoded.Convert(CTexture::TYPE_DIRECT);
  const Kelvane::CDirectColorImage& direct = decoded.GetDirectColorImage();
  const Kelvane::CAlphaImage& alpha = decoded.GetAlphaImage();
  Image preview;
  preview.width = direct.GetWidth();
  preview.height = direct.GetHeight();
  preview.rgb.resize(size_t{preview.width} * preview.height * 3);
  double squared_error = 0;
  for (unsigned int y = 0; y < preview.height; ++y) {
    for (unsigned int x = 0; x < preview.width; ++x) {
      unsigned char* p = &preview.rgb[(size_t{y} * preview.width + x) * 3];
      const auto xs = static_cast<unsigned short>(x), ys = static_cast<unsigned short>(y);
      direct.GetValue(&p[0], &p[1], &p[2], xs, ys);
      const unsigned char* q = &input.rgb[(size_t{y} * input.width + x) * 3];
      for (int k = 0; k < 3; ++k) squared_error += (p[k] - q[k]) * double(p[k] - q[k]);
      unsigned char a = 255;
      if (alpha.IsAvailable()) alpha.GetValue(&a, xs, ys);
      if (a < 128) {
        p[0] = 255;
        p[1] = 0;
        p[2] = 255;
      }
    }
  }
  std::printf("mean squared error: %.2f\n", squared_error / (3.0 * preview.width * preview.height));
  if (!WritePpm(argv[arg + 2], preview)) {
    std::fprintf(stderr, "kelvane_convert: cannot write %s\n", argv[arg + 2]);
    return 1;
  }
  return support::CloseStdout(0, "kelvane_convert: cannot write the summary\n");
}
