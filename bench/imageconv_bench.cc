// Times the converters' inner loops on one binary PPM image: palette lookup
// (linear scan against the 15-bit table) and the C value lines (one
// formatted print per value against the table-driven writer).
//
//   imageconv_bench FILE.ppm [--benchmark_... flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ppm_image.h"
#include "ppm_reference.h"
#include "support/c_text.h"

namespace {

ppm::Image g_image;
std::vector<unsigned> g_colors;

void BM_LookupLinear(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<uint16_t> palette;
    size_t done = 0;
    for (unsigned c : g_colors) {
      if (ppm_reference::Lookup(&palette, 256, static_cast<uint16_t>(c)) < 0) break;
      ++done;
    }
    benchmark::DoNotOptimize(done);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * g_colors.size()));
}

void BM_LookupTable(benchmark::State& state) {
  std::vector<uint8_t> indexes(g_image.pixel_count());
  for (auto _ : state) {
    ppm::PaletteTable table(256);
    benchmark::DoNotOptimize(ppm::IndexPixels(g_image.pixels, indexes.size(), &table, indexes.data()));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * g_colors.size()));
}

void BM_LinesPrintf(benchmark::State& state) {
  for (auto _ : state) {
    std::string text = ppm_reference::ValueLines(g_colors, 16, "0x%04x,");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * g_colors.size()));
}

void BM_LinesTable(benchmark::State& state) {
  const std::vector<uint16_t> words(g_colors.begin(), g_colors.end());
  for (auto _ : state) {
    size_t size = 0;
    support::CTextWriter text([&size](const char*, size_t n) {
      size += n;
      return true;
    });
    text.AppendValues(words.data(), words.size(), 0, ppm::ValueLines(4, false, 16));
    text.Flush();
    benchmark::DoNotOptimize(size);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * g_colors.size()));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2 || ppm::LoadImage(argv[1], &g_image) != ppm::LoadStatus::kOk) {
    fprintf(stderr, "usage: imageconv_bench FILE.ppm [benchmark flags] (a binary PPM, maximum value 255)\n");
    return 1;
  }
  for (size_t i = 0; i < g_image.pixel_count(); ++i) {
    const uint8_t* p = g_image.pixels + 3 * i;
    g_colors.push_back(ppm::PackColor(p[0], p[1], p[2]));
  }
  benchmark::RegisterBenchmark("LookupLinear", BM_LookupLinear)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("LookupTable", BM_LookupTable)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("LinesPrintf", BM_LinesPrintf)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("LinesTable", BM_LinesTable)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
