// The argument marker search over 64 MiB of pseudo-random bytes (a ':' every
// 256 bytes or so) with the marker at the very end.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "marker_reference.h"
#include "marker_scan.h"

namespace {

const std::vector<uint8_t>& Image() {
  static const std::vector<uint8_t> image = [] {
    std::vector<uint8_t> bytes(size_t{64} << 20);
    std::mt19937_64 rng(7);
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
      const uint64_t v = rng();
      std::memcpy(bytes.data() + i, &v, 8);
    }
    std::memcpy(bytes.data() + bytes.size() - 64, argbury::kArgumentMarker, argbury::kMarkerLength);
    return bytes;
  }();
  return image;
}

void BM_LiteralSearch(benchmark::State& state) {
  const std::vector<uint8_t>& image = Image();
  for (auto _ : state) {
    benchmark::DoNotOptimize(argbury_reference::LiteralFindMarker(image.data(), image.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_LiteralSearch)->Unit(benchmark::kMillisecond);

// Fed in blocks of state.range(0) bytes, as the tool reads the image.
void BM_BlockScanner(benchmark::State& state) {
  const std::vector<uint8_t>& image = Image();
  const size_t block = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    argbury::MarkerScanner scanner;
    for (size_t at = 0; at < image.size() && !scanner.Feed(image.data() + at, std::min(block, image.size() - at));
         at += block) {
    }
    benchmark::DoNotOptimize(scanner.offset());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_BlockScanner)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
