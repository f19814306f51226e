// kelvane_convert: a small host program for the texture library. It reads an
// image (binary PPM or PNG; a PNG's alpha channel becomes the texture's alpha
// image), converts it to a texture type, writes the texture data with the
// library's writer, prints a summary and writes a preview (PNG when its name
// ends in .png, else binary PPM) decoded from the written data bytes (not from the texture object), so the preview shows what
// the console would show.
//
//   kelvane_convert [--key R,G,B] [--algorithm NAME] [--share R,G,B] [--near]
//                   [--data PREFIX] [--quality reference|refined] [--dither [STRENGTH]]
//                   INPUT.ppm|INPUT.png TYPE PREVIEW.ppm|PREVIEW.png
//
// TYPE is one of palette4, a5i3, palette16, a3i5, palette256, tex4x4, direct.
// --key makes texels of exactly that colour transparent; transparent texels
// show magenta in the preview. --algorithm (hilow, hilow-linear, roundrobin,
// roundrobin-linear) chooses how tex4x4 picks each block's colours; --share
// lets tex4x4 blocks reuse the colours of earlier blocks within the given
// per-channel tolerances (in steps of 8). --near grows the texture to
// power-of-two sides before writing. --data writes the data blocks to
// PREFIX.tex (texels), PREFIX.pal (palette, palette types and tex4x4) and
// PREFIX.pidx (palette index, tex4x4). --quality refined chooses the palette
// of a palette type with the library's refined processor; --dither diffuses
// the error of the palette types' texels (STRENGTH 0 to 100 percent, 100
// when left out).
#include <kelvane/kelvane.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kelvane_data_decoder.h"
#include "kelvane_image_loader.h"
#include "support/file_io.h"
#include "support/text_parse.h"

namespace {

using Kelvane::CDefaultColorProcessor;
using Kelvane::CRefinedColorProcessor;
using Kelvane::CTexture;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr long long kFullDither = 100;

struct Options {
  CDefaultColorProcessor::tConvertFactor factor{};
  bool refined = false;
  unsigned int dither = 0;
  bool near_size = false;
  const char* data_prefix = nullptr;
  const char* input = nullptr;
  const char* type_name = nullptr;
  CTexture::tType type = CTexture::TYPE_NONE;
  const char* preview = nullptr;
};

const char* const kUsage =
    "usage: kelvane_convert [--key R,G,B] [--algorithm NAME] [--share R,G,B] [--near] [--data PREFIX] "
    "[--quality reference|refined] [--dither [STRENGTH]] INPUT.ppm|INPUT.png TYPE PREVIEW.ppm|PREVIEW.png\n";

bool ParseType(const char* name, CTexture::tType* type) {
  static const struct {
    const char* name;
    CTexture::tType type;
  } kTypes[] = {{"palette4", CTexture::TYPE_PALETTE4},     {"a5i3", CTexture::TYPE_A5I3},
                {"palette16", CTexture::TYPE_PALETTE16},   {"a3i5", CTexture::TYPE_A3I5},
                {"palette256", CTexture::TYPE_PALETTE256}, {"tex4x4", CTexture::TYPE_TEX4X4},
                {"direct", CTexture::TYPE_DIRECT}};
  for (const auto& t : kTypes) {
    if (std::strcmp(name, t.name) == 0) {
      *type = t.type;
      return true;
    }
  }
  return false;
}

bool ParseAlgorithm(const char* name, CDefaultColorProcessor::tAlgorithm* algorithm) {
  static const struct {
    const char* name;
    CDefaultColorProcessor::tAlgorithm algorithm;
  } kAlgorithms[] = {{"hilow", CDefaultColorProcessor::ALGORITHM_HILOW},
                     {"hilow-linear", CDefaultColorProcessor::ALGORITHM_HILOW_LINEAR},
                     {"roundrobin", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN},
                     {"roundrobin-linear", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN_LINEAR}};
  for (const auto& a : kAlgorithms) {
    if (std::strcmp(name, a.name) == 0) {
      *algorithm = a.algorithm;
      return true;
    }
  }
  return false;
}

// "R,G,B", each a decimal number from 0 to 255.
bool ParseTriple(const char* text, unsigned char out[3]) {
  const std::string s = text;
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = i < 2 ? s.find(',', start) : s.size();
    if (comma == std::string::npos) return false;
    long long value = 0;
    if (!support::ParseDecimalStrict(s.substr(start, comma - start).c_str(), 0, 255, &value)) return false;
    out[i] = static_cast<unsigned char>(value);
    start = comma + 1;
  }
  return true;
}

int ParseArgs(int argc, char** argv, Options* o) {
  int arg = 1;
  for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
    const char* option = argv[arg];
    const char* value = arg + 1 < argc ? argv[arg + 1] : nullptr;
    unsigned char rgb[3];
    if (std::strcmp(option, "--near") == 0) {
      o->near_size = true;
      continue;
    }
    if (std::strcmp(option, "--dither") == 0) {
      // The strength is optional: a number followed by the three operands.
      long long strength = kFullDither;
      const bool operands_follow = argc - (arg + 2) >= 3;
      if (value != nullptr && operands_follow && support::ParseDecimalStrict(value, 0, kFullDither, &strength)) {
        ++arg;
      }
      o->dither = static_cast<unsigned int>(strength);
      continue;
    }
    if (value == nullptr) break;
    if (std::strcmp(option, "--key") == 0 && ParseTriple(value, rgb)) {
      o->factor.useTransparency = true;
      o->factor.transparentRed = rgb[0];
      o->factor.transparentGreen = rgb[1];
      o->factor.transparentBlue = rgb[2];
    } else if (std::strcmp(option, "--share") == 0 && ParseTriple(value, rgb)) {
      o->factor.sharePalette = true;
      o->factor.toleranceRed = rgb[0];
      o->factor.toleranceGreen = rgb[1];
      o->factor.toleranceBlue = rgb[2];
    } else if (std::strcmp(option, "--algorithm") == 0 && ParseAlgorithm(value, &o->factor.algorithm)) {
    } else if (std::strcmp(option, "--quality") == 0 &&
               (std::strcmp(value, "reference") == 0 || std::strcmp(value, "refined") == 0)) {
      o->refined = std::strcmp(value, "refined") == 0;
    } else if (std::strcmp(option, "--data") == 0 && value[0] != '\0') {
      o->data_prefix = value;
    } else {
      break;
    }
    ++arg;
  }
  if (argc - arg != 3 || std::strncmp(argv[arg], "--", 2) == 0 || !ParseType(argv[arg + 1], &o->type)) {
    std::fputs(kUsage, stderr);
    return kExitFailure;
  }
  o->input = argv[arg];
  o->type_name = argv[arg + 1];
  o->preview = argv[arg + 2];
  return -1;
}

bool WriteBlock(const std::string& path, const std::vector<unsigned char>& bytes) {
  const bool ok = support::WriteOutputFile(path, bytes.data(), bytes.size()) == support::WriteStatus::kOk;
  if (!ok) std::fprintf(stderr, "kelvane_convert: cannot write %s\n", path.c_str());
  return ok;
}

int Run(const Options& o) {
  kelvane_example::Image input;
  if (kelvane_example::LoadImage(o.input, &input) != kelvane_example::LoadStatus::kOk) {
    std::fprintf(stderr, "kelvane_convert: cannot read %s as a binary PPM or PNG image\n", o.input);
    return kExitFailure;
  }

  // The library's own processor unless a refined palette or dithering is
  // asked for.
  CDefaultColorProcessor processor;
  processor.SetConvertFactor(&o.factor);
  CRefinedColorProcessor refined;
  refined.SetConvertFactor(&o.factor);
  CRefinedColorProcessor::tRefineFactor refine{};
  refine.quality = o.refined ? CRefinedColorProcessor::QUALITY_REFINED : CRefinedColorProcessor::QUALITY_REFERENCE;
  refine.ditherStrength = o.dither;
  refined.SetRefineFactor(refine);
  CTexture texture;
  if (o.refined || o.dither > 0) {
    texture.SetColorProcessor(&refined);
  } else {
    texture.SetColorProcessor(&processor);
  }
  kelvane_example::FillTexture(input, &texture);

  const auto start = std::chrono::steady_clock::now();
  const bool converted = texture.Convert(o.type) && texture.GetType() == o.type;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!converted) {
    std::fprintf(stderr, "kelvane_convert: conversion to %s failed\n", o.type_name);
    return kExitFailure;
  }
  const unsigned int palette_entries = texture.GetColorPalette().GetNumber();

  Kelvane::CMvx writer;
  kelvane_example::TextureData data;
  unsigned int texel_bytes = 0, palette_bytes = 0, index_bytes = 0;
  bool written = writer.GetDataByteSize(&texel_bytes, &palette_bytes, &index_bytes, &texture, o.near_size);
  if (written) {
    data.texel.assign(texel_bytes, 0);
    data.palette.assign(palette_bytes, 0);
    data.palette_index.assign(index_bytes, 0);
    Kelvane::CMvx::tMemory memory{data.texel.data(),         texel_bytes, data.palette.data(), palette_bytes,
                                  data.palette_index.data(), index_bytes};
    written = writer.Write(&memory, &texture, o.near_size);
  }
  if (!written) {
    std::fprintf(stderr, "kelvane_convert: cannot make the texture data\n");
    return kExitFailure;
  }
  data.type = o.type;
  data.width = texture.GetWidth();
  data.height = texture.GetHeight();

  kelvane_example::Image preview;
  std::vector<unsigned char> transparent;
  const bool index0_transparent = o.factor.useTransparency && texture.IsPaletteType();
  if (!kelvane_example::DecodeTextureData(data, index0_transparent, &preview, &transparent)) {
    std::fprintf(stderr, "kelvane_convert: cannot decode the texture data\n");
    return kExitFailure;
  }

  std::printf("input: %s (%ux%u)\n", o.input, input.width, input.height);
  std::printf("type: %s\n", o.type_name);
  std::printf("palette entries: %u\n", palette_entries);
  std::printf("conversion: %.3f s\n", seconds);
  std::printf("data: %ux%u, %u texel bytes, %u palette bytes, %u palette index bytes\n", data.width,
              data.height, texel_bytes, palette_bytes, index_bytes);

  // The error is measured over the input's area, before transparent texels
  // turn magenta.
  double squared_error = 0;
  for (unsigned int y = 0; y < input.height; ++y) {
    for (unsigned int x = 0; x < input.width; ++x) {
      const unsigned char* p = &preview.rgb[(size_t{y} * preview.width + x) * 3];
      const unsigned char* q = &input.rgb[(size_t{y} * input.width + x) * 3];
      for (int k = 0; k < 3; ++k) squared_error += (p[k] - q[k]) * double(p[k] - q[k]);
    }
  }
  for (size_t i = 0; i < transparent.size(); ++i) {
    if (transparent[i] == 0) continue;
    preview.rgb[3 * i] = 255;
    preview.rgb[3 * i + 1] = 0;
    preview.rgb[3 * i + 2] = 255;
  }
  std::printf("mean squared error: %.2f\n", squared_error / (3.0 * input.width * input.height));

  if (o.data_prefix != nullptr) {
    const std::string prefix = o.data_prefix;
    if (!WriteBlock(prefix + ".tex", data.texel)) return kExitFailure;
    if (o.type != CTexture::TYPE_DIRECT && !WriteBlock(prefix + ".pal", data.palette)) return kExitFailure;
    if (o.type == CTexture::TYPE_TEX4X4 && !WriteBlock(prefix + ".pidx", data.palette_index))
      return kExitFailure;
  }
  const size_t name_length = std::strlen(o.preview);
  const bool as_png = name_length >= 4 && std::strcmp(o.preview + name_length - 4, ".png") == 0;
  std::string picture;
  if (!as_png) {
    picture = kelvane_example::EncodePpm(preview);
  } else if (!kelvane_example::EncodePng(preview, &picture)) {
    std::fprintf(stderr, "kelvane_convert: cannot encode the preview as PNG\n");
    return kExitFailure;
  }
  if (support::WriteOutputFile(o.preview, picture.data(), picture.size()) != support::WriteStatus::kOk) {
    std::fprintf(stderr, "kelvane_convert: cannot write %s\n", o.preview);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int status = ParseArgs(argc, argv, &o);
  if (status < 0) status = Run(o);
  return support::CloseStdout(status, "kelvane_convert: cannot write the summary\n");
}
