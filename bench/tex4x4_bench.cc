// Benchmarks of the 4x4-block encoder over binary PPM images named on the
// command line: each image upscaled to 1024x1024 (library only) and a 128x128
// crop of that (library beside the literal reference), for the colour
// algorithms with and without palette sharing.
//
//   tex4x4_bench [--benchmark_...] IMAGE.ppm...
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_tex4x4_reference.h"
#include "support/file_io.h"

namespace {

using Kelvane::CDefaultColorProcessor;
using Kelvane::CTexture;
using reference::Rgb;

struct Image {
  std::string name;
  unsigned int width = 0, height = 0;
  std::vector<Rgb> texels;
};

// A binary PPM with maxval 255 and single-space separated header fields
// (as the corpus images are written).
bool ReadPpm(const std::string& path, Image* image) {
  std::vector<uint8_t> bytes;
  if (support::ReadWholeFile(path, &bytes) != support::ReadStatus::kOk) return false;
  unsigned int maxval = 0;
  int header = 0;
  const std::string text(bytes.begin(), bytes.begin() + static_cast<long>(std::min<size_t>(bytes.size(), 64)));
  if (std::sscanf(text.c_str(), "P6 %u %u %u%n", &image->width, &image->height, &maxval, &header) != 3 ||
      maxval != 255) {
    return false;
  }
  const size_t start = static_cast<size_t>(header) + 1;
  const size_t count = size_t{image->width} * image->height;
  if (bytes.size() < start + 3 * count) return false;
  for (size_t i = 0; i < count; ++i)
    image->texels.push_back({bytes[start + 3 * i], bytes[start + 3 * i + 1], bytes[start + 3 * i + 2]});
  const size_t slash = path.find_last_of('/');
  image->name = slash == std::string::npos ? path : path.substr(slash + 1);
  return true;
}

// Bilinear upscale with a little noise, so that the large image keeps a
// photograph's variety of colours.
Image Upscale(const Image& source, unsigned int size) {
  Image out;
  out.name = "1024-" + source.name;
  out.width = out.height = size;
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(-2, 2);
  auto sample = [&](double f, unsigned int limit, unsigned int* i0, unsigned int* i1) {
    f = std::max(0.0, f);
    *i0 = std::min(limit - 1, static_cast<unsigned int>(f));
    *i1 = std::min(limit - 1, *i0 + 1);
    return f - *i0;
  };
  for (unsigned int y = 0; y < size; ++y) {
    unsigned int y0, y1;
    const double ty = sample((y + 0.5) * source.height / size - 0.5, source.height, &y0, &y1);
    for (unsigned int x = 0; x < size; ++x) {
      unsigned int x0, x1;
      const double tx = sample((x + 0.5) * source.width / size - 0.5, source.width, &x0, &x1);
      const Rgb a = source.texels[y0 * source.width + x0], b = source.texels[y0 * source.width + x1];
      const Rgb c = source.texels[y1 * source.width + x0], d = source.texels[y1 * source.width + x1];
      auto mix = [&](unsigned char pa, unsigned char pb, unsigned char pc, unsigned char pd) {
        const double v = (pa * (1 - tx) + pb * tx) * (1 - ty) + (pc * (1 - tx) + pd * tx) * ty + noise(random);
        return static_cast<unsigned char>(std::clamp(v + 0.5, 0.0, 255.0));
      };
      out.texels.push_back({mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b)});
    }
  }
  return out;
}

Image Crop(const Image& source, unsigned int size) {
  Image out;
  out.name = "crop128-" + source.name;
  out.width = out.height = size;
  const unsigned int x0 = (source.width - size) / 2, y0 = (source.height - size) / 2;
  for (unsigned int y = 0; y < size; ++y)
    for (unsigned int x = 0; x < size; ++x) out.texels.push_back(source.texels[(y0 + y) * source.width + x0 + x]);
  return out;
}

struct Setting {
  const char* label;
  unsigned int algorithm;
  bool share;
  unsigned char tolerance;
};

const Setting kSettings[] = {
    {"hilow", CDefaultColorProcessor::ALGORITHM_HILOW, false, 0},
    {"hilow-share", CDefaultColorProcessor::ALGORITHM_HILOW, true, 0},
    {"roundrobin", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN, false, 0},
    {"roundrobin-share", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN, true, 0},
    {"roundrobin-share-tolerance1", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN, true, 1},
    {"roundrobin-linear-share", CDefaultColorProcessor::ALGORITHM_ROUNDROBIN_LINEAR, true, 0},
};

// A host processor that keeps the library's algorithms: its blocks are
// encoded on one thread.
class HostProcessor : public CDefaultColorProcessor {};

void EncodeLibrary(benchmark::State& state, std::shared_ptr<Image> image, Setting setting, bool host) {
  CDefaultColorProcessor own;
  HostProcessor derived;
  CDefaultColorProcessor* processor = host ? &derived : &own;
  CDefaultColorProcessor::tConvertFactor factor{};
  factor.algorithm = static_cast<CDefaultColorProcessor::tAlgorithm>(setting.algorithm);
  factor.sharePalette = setting.share;
  factor.toleranceRed = factor.toleranceGreen = factor.toleranceBlue = setting.tolerance;
  processor->SetConvertFactor(&factor);
  CTexture source;
  const auto width = static_cast<unsigned short>(image->width);
  const auto height = static_cast<unsigned short>(image->height);
  source.GetDirectColorImage().Create(width, height, 0, 0, 0);
  for (size_t i = 0; i < image->texels.size(); ++i) {
    const auto at = static_cast<unsigned int>(i);
    source.GetDirectColorImage().GetRedChannel()[at] = image->texels[i].r;
    source.GetDirectColorImage().GetGreenChannel()[at] = image->texels[i].g;
    source.GetDirectColorImage().GetBlueChannel()[at] = image->texels[i].b;
  }
  source.SetType(CTexture::TYPE_DIRECT);
  source.SetColorProcessor(processor);
  unsigned int entries = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CTexture texture(source);
    state.ResumeTiming();
    if (!texture.Convert(CTexture::TYPE_TEX4X4)) state.SkipWithError("encoding failed");
    entries = texture.GetColorPalette().GetNumber();
  }
  state.counters["entries"] = entries;
}

void EncodeLiteral(benchmark::State& state, std::shared_ptr<Image> image, Setting setting) {
  reference::tex4x4::Settings s;
  s.algorithm = setting.algorithm;
  s.share = setting.share;
  s.tolerance[0] = s.tolerance[1] = s.tolerance[2] = setting.tolerance;
  size_t entries = 0;
  for (auto _ : state) {
    const auto encoded = reference::tex4x4::Encode(image->width, image->height, image->texels, {}, s);
    entries = encoded.palette.size();
    benchmark::DoNotOptimize(encoded.indices.data());
  }
  state.counters["entries"] = static_cast<double>(entries);
}

void Register(const std::shared_ptr<Image>& image, bool literal) {
  for (const Setting& setting : kSettings) {
    const std::string name = std::string(setting.label) + "/" + image->name;
    benchmark::RegisterBenchmark(("tex4x4/library/" + name).c_str(), EncodeLibrary, image, setting, false)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    if (!literal && setting.share && setting.tolerance == 0 && setting.algorithm == 2) {
      benchmark::RegisterBenchmark(("tex4x4/host-processor/" + name).c_str(), EncodeLibrary, image, setting, true)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1)
          ->UseRealTime();
    }
    if (literal) {
      benchmark::RegisterBenchmark(("tex4x4/literal/" + name).c_str(), EncodeLiteral, image, setting)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    Image image;
    if (!ReadPpm(argv[i], &image) || image.width == 0 || image.height == 0) {
      std::fprintf(stderr, "tex4x4_bench: cannot read binary PPM %s\n", argv[i]);
      return 1;
    }
    auto large = std::make_shared<Image>(Upscale(image, 1024));
    Register(large, false);
    Register(std::make_shared<Image>(Crop(*large, 128)), true);
  }
  if (argc < 2) std::fprintf(stderr, "tex4x4_bench: no images given\n");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
