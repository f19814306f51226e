// Times the backward-LZ encoder on a file: the literal window scan against
// the hash-chain match finder, both producing the whole image.
//
//   compress_bench FILE [--benchmark_... flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "lz_backward.h"
#include "lz_reference.h"
#include "support/file_io.h"

namespace {

std::vector<uint8_t> g_input;

void BM_Literal(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<uint8_t> image = lz_reference::CompressBackward(g_input);
    benchmark::DoNotOptimize(image.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_input.size()));
}

void BM_Fast(benchmark::State& state) {
  std::vector<uint8_t> buffer(g_input.size());
  for (auto _ : state) {
    buffer = g_input;
    int size = backlz::CompressBackward(buffer.data(), static_cast<int>(buffer.size()));
    benchmark::DoNotOptimize(size);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_input.size()));
}

// Keeps the mean real time of each benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      cpu_ms[name.substr(0, name.find('/'))] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> cpu_ms;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    fprintf(stderr, "usage: compress_bench FILE [benchmark flags]\n");
    return 1;
  }
  if (support::ReadWholeFile(argv[1], &g_input) != support::ReadStatus::kOk) {
    fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }

  // The two encoders must agree before their times mean anything.
  std::vector<uint8_t> fast = g_input;
  int size = backlz::CompressBackward(fast.data(), static_cast<int>(fast.size()));
  fast.resize(size > 0 ? static_cast<size_t>(size) : 0);
  std::vector<uint8_t> literal = lz_reference::CompressBackward(g_input);
  printf("%s: %zu bytes -> %zu bytes, images %s\n", argv[1], g_input.size(), fast.size(),
         fast == literal ? "identical" : "DIFFER");
  if (fast != literal) return 1;
  fflush(stdout);

  benchmark::RegisterBenchmark("literal", BM_Literal)->Unit(benchmark::kMillisecond)->Iterations(2);
  benchmark::RegisterBenchmark("fast", BM_Fast)->Unit(benchmark::kMillisecond)->MinTime(1.0);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (reporter.cpu_ms.count("literal") && reporter.cpu_ms.count("fast")) {
    double l = reporter.cpu_ms["literal"];
    double f = reporter.cpu_ms["fast"];
    printf("CPU time: literal %.1f ms, fast %.2f ms, fast is %.0fx faster\n", l, f, l / f);
  }
  return 0;
}
