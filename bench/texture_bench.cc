// Benchmarks of the texture library over binary PPM images named on the command
// line: the byte sort (literal selection sort against the library's) on each
// colour channel, and the conversion to TYPE_PALETTE256 and TYPE_PALETTE16
// (literal reference against the library's own processor, a host's processor
// derived from it, and the refined processor with and without dithering). The
// literal versions run only where they finish in reasonable time. 1024x1024
// images, upscaled from the largest images given (or generated when none is),
// and one of nearly all distinct colours, measure the library alone; a
// generated 16x16 image measures what a conversion costs beyond its texels.
// The data writer is measured on 1024x1024 textures of each type beside the
// literal writer.
//
//   texture_bench [--benchmark_...] IMAGE.ppm...
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_image_loader.h"
#include "kelvane_mvx_reference.h"
#include "kelvane_reference.h"
#include "kelvane_sort.h"

namespace {

using Kelvane::CTexture;

struct Image {
  std::string name;
  unsigned int width = 0, height = 0;
  std::vector<reference::Rgb> texels;
};

bool ReadPpm(const std::string& path, Image* image) {
  kelvane_example::Image loaded;
  if (kelvane_example::LoadImage(path, &loaded) != kelvane_example::LoadStatus::kOk) return false;
  image->width = loaded.width;
  image->height = loaded.height;
  for (size_t i = 0; i < loaded.rgb.size(); i += 3)
    image->texels.push_back({loaded.rgb[i], loaded.rgb[i + 1], loaded.rgb[i + 2]});
  const size_t slash = path.find_last_of('/');
  image->name = slash == std::string::npos ? path : path.substr(slash + 1);
  return true;
}

// An empty size x size image named `name`, for the generators below.
Image Square(const std::string& name, unsigned int size) {
  Image out;
  out.name = name;
  out.width = out.height = size;
  return out;
}

// Bilinear upscale with a little noise, so the large image keeps many colours.
Image Upscale(const Image& source, unsigned int size) {
  Image out = Square("upscaled-" + std::to_string(size) + "-" + source.name, size);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> noise(-2, 2);
  for (unsigned int y = 0; y < size; ++y) {
    const double fy = std::max(0.0, (y + 0.5) * source.height / size - 0.5);
    const unsigned int y0 = std::min(source.height - 1, static_cast<unsigned int>(fy));
    const unsigned int y1 = std::min(source.height - 1, y0 + 1);
    const double ty = fy - y0;
    for (unsigned int x = 0; x < size; ++x) {
      const double fx = std::max(0.0, (x + 0.5) * source.width / size - 0.5);
      const unsigned int x0 = std::min(source.width - 1, static_cast<unsigned int>(fx));
      const unsigned int x1 = std::min(source.width - 1, x0 + 1);
      const double tx = fx - x0;
      auto at = [&](unsigned int xx, unsigned int yy) {
        return source.texels[size_t{yy} * source.width + xx];
      };
      unsigned char rgb[3];
      for (int c = 0; c < 3; ++c) {
        auto channel = [c](reference::Rgb p) { return c == 0 ? p.r : c == 1 ? p.g : p.b; };
        const double v = (channel(at(x0, y0)) * (1 - tx) + channel(at(x1, y0)) * tx) * (1 - ty) +
                         (channel(at(x0, y1)) * (1 - tx) + channel(at(x1, y1)) * tx) * ty + noise(random);
        rgb[c] = static_cast<unsigned char>(std::clamp(v + 0.5, 0.0, 255.0));
      }
      out.texels.push_back({rgb[0], rgb[1], rgb[2]});
    }
  }
  return out;
}

Image Generate(unsigned int size) {
  Image out = Square("generated-" + std::to_string(size), size);
  std::mt19937 random(2);
  for (unsigned int y = 0; y < size; ++y) {
    for (unsigned int x = 0; x < size; ++x) {
      out.texels.push_back({static_cast<unsigned char>(x * 255 / size + random() % 9),
                            static_cast<unsigned char>(y * 255 / size + random() % 9),
                            static_cast<unsigned char>((x + y) * 127 / size + random() % 9)});
    }
  }
  return out;
}

// Nearly every texel a new colour: the worst case of the per-colour search.
Image ManyColours(unsigned int size) {
  Image out = Square("many-colours-" + std::to_string(size), size);
  std::mt19937 random(3);
  for (unsigned int i = 0; i < size * size; ++i) {
    const uint32_t v = random();
    out.texels.push_back({static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16)});
  }
  return out;
}

std::vector<unsigned char> RedChannel(const Image& image) {
  std::vector<unsigned char> red;
  for (const auto& t : image.texels) red.push_back(t.r);
  return red;
}

void SortLiteral(benchmark::State& state, std::shared_ptr<Image> image) {
  const std::vector<unsigned char> red = RedChannel(*image);
  for (auto _ : state) {
    std::vector<unsigned char> bytes = red;
    std::vector<unsigned int> index(bytes.size());
    for (unsigned int i = 0; i < index.size(); ++i) index[i] = i;
    reference::SelectionSort(bytes, &index, 0, static_cast<unsigned int>(bytes.size() - 1), false);
    benchmark::DoNotOptimize(index.data());
  }
}

void SortFast(benchmark::State& state, std::shared_ptr<Image> image) {
  const std::vector<unsigned char> red = RedChannel(*image);
  for (auto _ : state) {
    std::vector<unsigned char> bytes = red;
    std::vector<unsigned int> index(bytes.size());
    for (unsigned int i = 0; i < index.size(); ++i) index[i] = i;
    Kelvane::internal::FastSelectionSortBytes(bytes.data(), index.data(), 0,
                                              static_cast<unsigned int>(bytes.size() - 1), false);
    benchmark::DoNotOptimize(index.data());
  }
}

void ConvertLiteral(benchmark::State& state, std::shared_ptr<Image> image, unsigned int entries) {
  for (auto _ : state) {
    std::vector<reference::Rgb> palette;
    std::vector<unsigned char> indices;
    reference::ConvertOpaque(image->texels, entries, &palette, &indices);
    benchmark::DoNotOptimize(indices.data());
  }
}

// A host processor that keeps the library's search: the texture then asks the
// (virtual) search for every texel instead of once per distinct colour.
class InheritingProcessor : public Kelvane::CDefaultColorProcessor {};

// The processor a conversion runs with.
enum class Processor {
  kDefault,         // the library's own
  kHost,            // a host's class derived from it
  kRefined,         // CRefinedColorProcessor, refined palette
  kRefinedDither,   // the same, dithered at full strength
};

void ConvertFast(benchmark::State& state, std::shared_ptr<Image> image, CTexture::tType type, Processor kind) {
  InheritingProcessor inheriting;
  Kelvane::CRefinedColorProcessor refined;
  Kelvane::CRefinedColorProcessor::tRefineFactor refine{};
  refine.quality = Kelvane::CRefinedColorProcessor::QUALITY_REFINED;
  refine.ditherStrength = kind == Processor::kRefinedDither ? 100 : 0;
  refined.SetRefineFactor(refine);
  CTexture source;
  if (kind == Processor::kHost) source.SetColorProcessor(&inheriting);
  if (kind == Processor::kRefined || kind == Processor::kRefinedDither) source.SetColorProcessor(&refined);
  const auto width = static_cast<unsigned short>(image->width);
  const auto height = static_cast<unsigned short>(image->height);
  source.GetDirectColorImage().Create(width, height, 0, 0, 0);
  for (size_t i = 0; i < image->texels.size(); ++i) {
    source.GetDirectColorImage().GetRedChannel()[static_cast<unsigned int>(i)] = image->texels[i].r;
    source.GetDirectColorImage().GetGreenChannel()[static_cast<unsigned int>(i)] = image->texels[i].g;
    source.GetDirectColorImage().GetBlueChannel()[static_cast<unsigned int>(i)] = image->texels[i].b;
  }
  source.GetAlphaImage().Create(width, height, 255);
  source.SetType(CTexture::TYPE_DIRECT);
  for (auto _ : state) {
    state.PauseTiming();
    CTexture texture(source);
    state.ResumeTiming();
    texture.Convert(type);
    if (texture.GetType() != type) state.SkipWithError("conversion failed");
  }
}

// A size x size texture of the given type with random planes, filled by hand
// (TEX4X4 included, so the writer is measured without the encoder).
CTexture WriterTexture(CTexture::tType type, unsigned int size) {
  std::mt19937 random(4);
  const auto side = static_cast<unsigned short>(size);
  CTexture t;
  if (type == CTexture::TYPE_DIRECT) {
    t.GetDirectColorImage().Create(side, side, 0, 0, 0);
    for (unsigned int i = 0; i < size * size; ++i) {
      t.GetDirectColorImage().GetRedChannel()[i] = static_cast<unsigned char>(random());
      t.GetDirectColorImage().GetGreenChannel()[i] = static_cast<unsigned char>(random());
      t.GetDirectColorImage().GetBlueChannel()[i] = static_cast<unsigned char>(random());
    }
  } else {
    const unsigned int entries[] = {4, 8, 16, 32, 256, 32768};
    t.GetColorPalette().Create(entries[type], 0, 0, 0);
    for (unsigned int i = 0; i < entries[type]; ++i)
      t.GetColorPalette().SetValue(static_cast<unsigned char>(random()), static_cast<unsigned char>(random()),
                                   static_cast<unsigned char>(random()), i);
    t.GetColorIndexImage().Create(side, side);
    const unsigned int limit = type == CTexture::TYPE_TEX4X4 ? 4 : entries[type];
    for (unsigned int i = 0; i < size * size; ++i)
      t.GetColorIndexImage().GetColorIndexData()[i] = static_cast<unsigned char>(random() % limit);
  }
  if (type == CTexture::TYPE_TEX4X4) {
    const unsigned int blocks = size * size / 16;
    t.GetColorPaletteAttribute().Create(blocks, 0);
    t.GetColorPaletteAddress().Create(2, blocks, 0);
    for (unsigned int k = 0; k < blocks; ++k) {
      t.GetColorPaletteAttribute()[k] = static_cast<unsigned char>(random() % 4);
      t.GetColorPaletteAddress().SetValue(random() % 0x4000, k);
    }
  }
  t.GetAlphaImage().Create(side, side, 200);
  t.SetType(type);
  return t;
}

void Write(benchmark::State& state, CTexture::tType type, bool literal) {
  CTexture texture = WriterTexture(type, 1024);
  Kelvane::CMvx writer;
  unsigned int texel = 0, palette = 0, index = 0;
  writer.GetDataByteSize(&texel, &palette, &index, &texture, false);
  std::vector<unsigned char> texels(texel), colours(palette), indices(index);
  for (auto _ : state) {
    if (literal) {
      const reference::Data data = reference::LiteralWrite(texture);
      benchmark::DoNotOptimize(data.texel.data());
    } else {
      Kelvane::CMvx::tMemory memory{texels.data(), texel, colours.data(), palette, indices.data(), index};
      if (!writer.Write(&memory, &texture, false)) state.SkipWithError("write failed");
      benchmark::DoNotOptimize(texels.data());
    }
  }
}

void RegisterWriter() {
  const struct {
    const char* label;
    CTexture::tType type;
  } kTypes[] = {{"palette4", CTexture::TYPE_PALETTE4},     {"palette16", CTexture::TYPE_PALETTE16},
                {"palette256", CTexture::TYPE_PALETTE256}, {"a3i5", CTexture::TYPE_A3I5},
                {"tex4x4", CTexture::TYPE_TEX4X4},         {"direct", CTexture::TYPE_DIRECT}};
  for (const auto& t : kTypes) {
    for (bool literal : {true, false}) {
      benchmark::RegisterBenchmark(
          ("write/" + std::string(t.label) + (literal ? "/literal" : "/fast") + "/1024").c_str(), Write,
          t.type, literal)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

// The literal quadratic steps are feasible up to these texel counts.
constexpr size_t kLiteralSortLimit = 256 * 256;
constexpr size_t kLiteralConvertLimit = 128 * 128;

void Register(const std::shared_ptr<Image>& image) {
  const size_t texels = image->texels.size();
  const std::string name = image->name;
  if (texels <= kLiteralSortLimit) {
    benchmark::RegisterBenchmark(("sort/literal/" + name).c_str(), SortLiteral, image)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(texels > 128 * 128 ? 1 : 3);
  }
  benchmark::RegisterBenchmark(("sort/fast/" + name).c_str(), SortFast, image)->Unit(benchmark::kMillisecond);
  const struct {
    const char* label;
    CTexture::tType type;
    unsigned int entries;
  } kTargets[] = {{"palette256", CTexture::TYPE_PALETTE256, 256},
                  {"palette16", CTexture::TYPE_PALETTE16, 16}};
  for (const auto& target : kTargets) {
    if (texels <= kLiteralConvertLimit) {
      benchmark::RegisterBenchmark(("convert/" + std::string(target.label) + "/literal/" + name).c_str(),
                                   ConvertLiteral, image, target.entries)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
    }
    const struct {
      const char* label;
      Processor kind;
    } kProcessors[] = {{"fast", Processor::kDefault},
                       {"host-processor", Processor::kHost},
                       {"refined", Processor::kRefined},
                       {"refined-dither", Processor::kRefinedDither}};
    for (const auto& processor : kProcessors) {
      benchmark::RegisterBenchmark(
          ("convert/" + std::string(target.label) + "/" + processor.label + "/" + name).c_str(), ConvertFast, image,
          target.type, processor.kind)
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<std::shared_ptr<Image>> images;
  size_t largest = 0;
  for (int i = 1; i < argc; ++i) {
    auto image = std::make_shared<Image>();
    if (!ReadPpm(argv[i], image.get())) {
      std::fprintf(stderr, "texture_bench: cannot read binary PPM %s\n", argv[i]);
      return 1;
    }
    largest = std::max(largest, image->texels.size());
    images.push_back(image);
    Register(image);
  }
  // Every image of the largest size given, upscaled to 1024x1024.
  for (const auto& image : images) {
    if (image->texels.size() == largest) Register(std::make_shared<Image>(Upscale(*image, 1024)));
  }
  if (images.empty()) Register(std::make_shared<Image>(Generate(1024)));
  Register(std::make_shared<Image>(ManyColours(1024)));
  Register(std::make_shared<Image>(Generate(16)));
  RegisterWriter();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
