// kelvane_convert: converts an image into one of the console's texture types
// with the texture library, and an example of a host program of it. It reads
// an image (binary PPM or PNG; a PNG's alpha channel becomes the texture's
// alpha image), converts it to a texture type through a colour processor,
// writes the texture data with the library's writer (CMvx), prints a summary
// and writes a preview decoded from the written data bytes (not from the
// texture object), so the preview shows what the console would show.
//
//   kelvane_convert [--key R,G,B] [--algorithm NAME] [--share R,G,B] [--near]
//                   [--data PREFIX] [--quality reference|refined] [--dither [STRENGTH]]
//                   [--quiet] INPUT.ppm|INPUT.png TYPE PREVIEW.ppm|PREVIEW.png
//
// The outputs depend only on the input's bytes and the arguments: no time,
// no path, and the library's results do not depend on the thread count.
#include <kelvane/kelvane.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kelvane_convert_args.h"
#include "kelvane_data_decoder.h"
#include "kelvane_image_loader.h"
#include "support/file_io.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/text_parse.h"
#include "support/tool_main.h"

namespace {

using Kelvane::CDefaultColorProcessor;
using Kelvane::CRefinedColorProcessor;
using Kelvane::CTexture;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 1;
constexpr int kGoOn = -1;
constexpr long long kFullDither = 100;

struct Options {
  CDefaultColorProcessor::tConvertFactor factor{};
  bool refined = false;
  unsigned int dither = 0;
  bool near_size = false;
  bool quiet = false;
  const char* data_prefix = nullptr;
  const char* input = nullptr;
  const char* type_name = nullptr;
  CTexture::tType type = CTexture::TYPE_NONE;
  const char* preview = nullptr;
};

const char* const kUsage =
    "usage: kelvane_convert [--key R,G,B] [--algorithm NAME] [--share R,G,B] [--near] [--data PREFIX]\n"
    "                       [--quality reference|refined] [--dither [STRENGTH]] [--quiet]\n"
    "                       INPUT.ppm|INPUT.png TYPE PREVIEW.ppm|PREVIEW.png\n"
    "       kelvane_convert --help\n"
    "TYPE: palette4, a5i3, palette16, a3i5, palette256, tex4x4, direct\n";

const char* const kHelp =
    "\n"
    "Converts a binary PPM or PNG image into a texture type of the console, writes\n"
    "the texture data (with --data) and a preview decoded from that data (PNG when\n"
    "PREVIEW ends in .png, in any case, else binary PPM), and prints a summary.\n"
    "\n"
    "  --key R,G,B          texels of exactly this colour are transparent\n"
    "  --algorithm NAME     how tex4x4 picks each block's colours: hilow (the\n"
    "                       default), hilow-linear, roundrobin, roundrobin-linear\n"
    "  --share R,G,B        tex4x4 blocks reuse the colours of earlier blocks within\n"
    "                       these tolerances (0 to 255 each, in steps of 8)\n"
    "  --near               grow the texture to power-of-two sides (8 to 1024)\n"
    "  --data PREFIX        write PREFIX.tex (texels), PREFIX.pal (palette; not for\n"
    "                       direct) and PREFIX.pidx (palette index; tex4x4 only)\n"
    "  --quality NAME       a palette type's palette: reference (the default) or\n"
    "                       refined\n"
    "  --dither [STRENGTH]  error diffusion for the palette types, 0 to 100 percent\n"
    "                       (100 when left out)\n"
    "  --quiet              no summary\n"
    "  --help               this text\n"
    "\n"
    "tex4x4 needs sides that are multiples of 4; --near takes sides up to 1024.\n";

const char* const kPngNote = "This build reads and writes PNG.\n";
const char* const kNoPngNote = "This build was made without libpng: it reads and writes binary PPM only.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

int ParseArgs(int argc, char** argv, Options* o) {
  int arg = 1;
  for (; arg < argc && std::strncmp(argv[arg], "--", 2) == 0; ++arg) {
    const char* option = argv[arg];
    const char* value = arg + 1 < argc ? argv[arg + 1] : nullptr;
    unsigned char rgb[3];
    if (std::strcmp(option, "--") == 0) {  // the operands follow, whatever they look like
      ++arg;
      break;
    }
    if (std::strcmp(option, "--help") == 0) {
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      std::fputs(kelvane_example::kPngSupported ? kPngNote : kNoPngNote, stdout);
      return kExitOk;
    }
    if (std::strcmp(option, "--near") == 0) {
      o->near_size = true;
      continue;
    }
    if (std::strcmp(option, "--quiet") == 0) {
      o->quiet = true;
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
    if (value == nullptr) return Usage();
    if (std::strcmp(option, "--key") == 0 && kelvane_example::ParseRgbTriple(value, rgb)) {
      o->factor.useTransparency = true;
      o->factor.transparentRed = rgb[0];
      o->factor.transparentGreen = rgb[1];
      o->factor.transparentBlue = rgb[2];
    } else if (std::strcmp(option, "--share") == 0 && kelvane_example::ParseRgbTriple(value, rgb)) {
      o->factor.sharePalette = true;
      o->factor.toleranceRed = rgb[0];
      o->factor.toleranceGreen = rgb[1];
      o->factor.toleranceBlue = rgb[2];
    } else if (std::strcmp(option, "--algorithm") == 0 && kelvane_example::ParseAlgorithmName(value, &o->factor.algorithm)) {
    } else if (std::strcmp(option, "--quality") == 0 &&
               (std::strcmp(value, "reference") == 0 || std::strcmp(value, "refined") == 0)) {
      o->refined = std::strcmp(value, "refined") == 0;
    } else if (std::strcmp(option, "--data") == 0 && value[0] != '\0') {
      o->data_prefix = value;
    } else {
      return Usage();
    }
    ++arg;
  }
  if (argc - arg != 3 || !kelvane_example::ParseTypeName(argv[arg + 1], &o->type) || argv[arg][0] == '\0' || argv[arg + 2][0] == '\0') {
    return Usage();
  }
  o->input = argv[arg];
  o->type_name = argv[arg + 1];
  o->preview = argv[arg + 2];
  return kGoOn;
}

// The files a run writes: the data blocks the type has, then the preview.
enum class Block { kTexel, kPalette, kPaletteIndex, kPreview };
struct Output {
  std::string path;
  Block block;
};

std::vector<Output> PlanOutputs(const Options& o) {
  std::vector<Output> outputs;
  if (o.data_prefix != nullptr) {
    const std::string prefix = o.data_prefix;
    outputs.push_back({prefix + ".tex", Block::kTexel});
    if (o.type != CTexture::TYPE_DIRECT) outputs.push_back({prefix + ".pal", Block::kPalette});
    if (o.type == CTexture::TYPE_TEX4X4) outputs.push_back({prefix + ".pidx", Block::kPaletteIndex});
  }
  outputs.push_back({o.preview, Block::kPreview});
  return outputs;
}

// Before anything is read or written: no output may be the input (however
// either is spelt: a link, another path to it), and no two outputs one file,
// since replacing one would destroy the other.
bool OutputsAreSafe(const Options& o, const std::vector<Output>& outputs) {
  for (size_t i = 0; i < outputs.size(); ++i) {
    const std::string& path = outputs[i].path;
    if (support::IsSameRegularFile(path, o.input)) {
      std::fprintf(stderr, "kelvane_convert: cannot write %s: it is the input %s\n", path.c_str(), o.input);
      return false;
    }
    for (size_t j = 0; j < i; ++j) {
      if (path == outputs[j].path || support::IsSameRegularFile(path, outputs[j].path)) {
        std::fprintf(stderr, "kelvane_convert: cannot write %s: it is also the output %s\n", path.c_str(),
                     outputs[j].path.c_str());
        return false;
      }
    }
  }
  if (kelvane_example::NamesPng(o.preview) && !kelvane_example::kPngSupported) {
    std::fprintf(stderr, "kelvane_convert: cannot write %s: PNG is not supported in this build (made without libpng)\n",
                 o.preview);
    return false;
  }
  return true;
}

// The sides the type and the writer can take, said plainly: the library
// would only answer false.
bool SidesFit(const Options& o, const kelvane_example::Image& input) {
  if (o.type == CTexture::TYPE_TEX4X4 && (input.width % 4 != 0 || input.height % 4 != 0)) {
    std::fprintf(stderr, "kelvane_convert: %s is %ux%u: tex4x4 needs sides that are multiples of 4\n", o.input,
                 input.width, input.height);
    return false;
  }
  const Kelvane::CMvx writer;
  if (o.near_size && (writer.GetNearMVXSize(static_cast<unsigned short>(input.width)) < 0 ||
                      writer.GetNearMVXSize(static_cast<unsigned short>(input.height)) < 0)) {
    std::fprintf(stderr, "kelvane_convert: %s is %ux%u: --near takes sides up to 1024\n", o.input, input.width,
                 input.height);
    return false;
  }
  return true;
}

// The blocks a run has made, by output.
struct Made {
  kelvane_example::TextureData data;
  std::vector<unsigned char> preview;
  const std::vector<unsigned char>& Bytes(Block block) const {
    switch (block) {
      case Block::kTexel:
        return data.texel;
      case Block::kPalette:
        return data.palette;
      case Block::kPaletteIndex:
        return data.palette_index;
      case Block::kPreview:
        break;
    }
    return preview;
  }
};

// Writes every output under a temporary name, then, once standard output has
// taken the summary, puts them all in place: a run that fails leaves no new
// output and every old one as it was.
bool WriteOutputs(const std::vector<Output>& outputs, const Made& made, const std::string& summary) {
  std::vector<support::OutputFile> files(outputs.size());
  for (size_t i = 0; i < outputs.size(); ++i) {
    const std::vector<unsigned char>& bytes = made.Bytes(outputs[i].block);
    if (files[i].Open(outputs[i].path) != support::WriteStatus::kOk || !files[i].Write(bytes.data(), bytes.size())) {
      std::fprintf(stderr, "kelvane_convert: cannot write %s\n", outputs[i].path.c_str());
      return false;
    }
  }
  std::fputs(summary.c_str(), stdout);
  if (!support::FlushStdout()) {
    std::fputs("kelvane_convert: cannot write the summary\n", stderr);
    return false;
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    if (files[i].Commit() != support::WriteStatus::kOk) {
      std::fprintf(stderr, "kelvane_convert: cannot write %s\n", outputs[i].path.c_str());
      return false;
    }
  }
  return true;
}

std::string Summary(const Options& o, const kelvane_example::Image& input, unsigned int palette_entries,
                    const kelvane_example::TextureData& data, double mean_squared_error) {
  char error[32];
  std::snprintf(error, sizeof error, "%.2f", mean_squared_error);
  const auto n = [](size_t value) { return std::to_string(value); };
  return std::string("input: ") + o.input + " (" + n(input.width) + "x" + n(input.height) + ")\n" +
         "type: " + o.type_name + "\n" + "palette entries: " + n(palette_entries) + "\n" + "data: " +
         n(data.width) + "x" + n(data.height) + ", " + n(data.texel.size()) + " texel bytes, " +
         n(data.palette.size()) + " palette bytes, " + n(data.palette_index.size()) + " palette index bytes\n" +
         "mean squared error: " + error + "\n";
}

int Run(const Options& o) {
  const std::vector<Output> outputs = PlanOutputs(o);
  if (!OutputsAreSafe(o, outputs)) return kExitFailure;

  kelvane_example::Image input;
  std::string why;
  if (kelvane_example::LoadImage(o.input, &input, &why) != kelvane_example::LoadStatus::kOk) {
    std::fprintf(stderr, "kelvane_convert: cannot read %s: %s\n", o.input, why.c_str());
    return kExitFailure;
  }
  if (!SidesFit(o, input)) return kExitFailure;

  // The library's own processor unless a refined palette or dithering is
  // asked for. Each texture is given its processor, so that the settings are
  // its own and not the shared default processor's.
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

  // Palette conversions answer true even when they fail: the type tells.
  if (!texture.Convert(o.type) || texture.GetType() != o.type) {
    std::fprintf(stderr, "kelvane_convert: conversion to %s failed\n", o.type_name);
    return kExitFailure;
  }
  const unsigned int palette_entries = texture.GetColorPalette().GetNumber();

  // The writer says how large each block is, the host allocates them, and
  // the writer fills them (growing the texture first with --near).
  Kelvane::CMvx writer;
  Made made;
  kelvane_example::TextureData& data = made.data;
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

  // The error is measured before transparent texels turn magenta.
  const double squared_error = kelvane_example::SquaredError(preview, input);
  kelvane_example::PaintTransparent(transparent, &preview);

  std::string picture;
  if (!kelvane_example::NamesPng(o.preview)) {
    picture = kelvane_example::EncodePpm(preview);
  } else if (!kelvane_example::EncodePng(preview, &picture)) {
    std::fprintf(stderr, "kelvane_convert: cannot encode the preview as PNG\n");
    return kExitFailure;
  }
  made.preview.assign(picture.begin(), picture.end());

  const std::string summary =
      o.quiet ? "" : Summary(o, input, palette_entries, data, squared_error / (3.0 * input.width * input.height));
  return WriteOutputs(outputs, made, summary) ? kExitOk : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "kelvane_convert: cannot write the summary\n");
}
