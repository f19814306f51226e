// Throughput of the AES modes over a 64 MiB buffer (CCM over the largest
// payload its length field allows), on the table core (hw:0) and on the
// processor's AES instructions (hw:1, where present), whole buffers and the
// streams aescli uses (1 MiB pieces: CCM's MAC and CTR interleaved, the
// reversed convention shuffled in the loops), and RC4 in keyedbin's 1 MiB
// pieces beside the literal loop of the tests. Run the binary;
// bytes_per_second is the figure to read (set RC4's against
// `openssl speed -provider legacy -provider default -evp rc4`).
// bench/crypto_whole_process.sh times the whole programs against openssl,
// and bench/crypto_peak_memory.sh their memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "aes_hw.h"
#include "aes_modes.h"
#include "aes_stream.h"
#include "rc4.h"
#include "tests/rc4_reference.h"

namespace {

constexpr size_t kBufferSize = size_t{64} << 20;

const uint8_t kKey[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                          0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
const uint8_t kBlock[16] = {0xf0, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7,
                            0xf8, 0xf9, 0xfa, 0xfb, 0xfc, 0xfd, 0xfe, 0xff};

std::vector<uint8_t> MakeBuffer(size_t size) {
  std::vector<uint8_t> data(size);
  uint32_t x = 12345;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return data;
}

void BM_Ctr(benchmark::State& state) {
  aes::hw::SetAllowed(state.range(0) != 0);
  std::vector<uint8_t> data = MakeBuffer(kBufferSize);
  for (auto _ : state) {
    aes::CtrCrypt(kKey, kBlock, data.data(), data.size(), data.data());
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void BM_CtrReversed(benchmark::State& state) {
  aes::hw::SetAllowed(state.range(0) != 0);
  std::vector<uint8_t> data = MakeBuffer(kBufferSize);
  for (auto _ : state) {
    aes::CtrCryptReversed(kKey, kBlock, data.data(), data.size());
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void BM_CbcEncrypt(benchmark::State& state) {
  aes::hw::SetAllowed(state.range(0) != 0);
  std::vector<uint8_t> data = MakeBuffer(kBufferSize);
  for (auto _ : state) {
    aes::CbcEncrypt(kKey, kBlock, data.data(), data.size(), data.data());
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void BM_CbcDecrypt(benchmark::State& state) {
  aes::hw::SetAllowed(state.range(0) != 0);
  std::vector<uint8_t> data = MakeBuffer(kBufferSize);
  for (auto _ : state) {
    aes::CbcDecrypt(kKey, kBlock, data.data(), data.size(), data.data());
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void BM_CcmEncrypt(benchmark::State& state) {
  aes::hw::SetAllowed(state.range(0) != 0);
  const size_t payload = aes::kCcmMaxPayload;
  std::vector<uint8_t> data = MakeBuffer(payload + 16);
  for (auto _ : state) {
    aes::CcmEncrypt(kKey, kBlock, nullptr, 0, data.data(), payload, 16, data.data(), false, nullptr);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload));
}

constexpr size_t kPiece = size_t{1} << 20;

// The streams over the buffer in 1 MiB pieces, as aescli feeds them.
void BM_CtrStreamReversed(benchmark::State& state) {
  aes::hw::SetAllowed(state.range(0) != 0);
  std::vector<uint8_t> data = MakeBuffer(kBufferSize);
  for (auto _ : state) {
    aes::CtrStream stream(kKey, kBlock, true);
    for (size_t at = 0; at < data.size(); at += kPiece) stream.Process(data.data() + at, data.data() + at, kPiece);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

void BM_CcmStream(benchmark::State& state) {
  aes::hw::SetAllowed(state.range(0) != 0);
  const size_t payload = aes::kCcmMaxPayload;
  std::vector<uint8_t> data = MakeBuffer(payload + 16);
  for (auto _ : state) {
    aes::CcmStream stream(kKey, kBlock, nullptr, 0, payload, 16, state.range(1) != 0, false);
    for (size_t at = 0; at < payload; at += kPiece) {
      const size_t n = payload - at < kPiece ? payload - at : kPiece;
      stream.Process(data.data() + at, data.data() + at, n);
    }
    if (state.range(1) != 0) {
      stream.FinishEncrypt(data.data() + payload);
    } else {
      benchmark::DoNotOptimize(stream.FinishDecrypt(data.data() + payload));
    }
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload));
}

// RC4 over the buffer in 1 MiB pieces, as keyedbin feeds it: arg 0 the
// literal loop, 1 the unrolled one. Rated on CPU time, which other work on
// the machine disturbs less than the wall clock.
void BM_Rc4(benchmark::State& state) {
  std::vector<uint8_t> data = MakeBuffer(kBufferSize);
  const auto crypt = state.range(0) != 0 ? rc4::Crypt : rc4_reference::Crypt;
  for (auto _ : state) {
    rc4::State rc4_state;
    rc4::Init(&rc4_state, kKey, sizeof kKey);
    for (size_t at = 0; at < data.size(); at += kPiece) crypt(&rc4_state, data.data() + at, kPiece);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}

BENCHMARK(BM_Rc4)->ArgName("unrolled")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CtrStreamReversed)->ArgName("hw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CcmStream)->ArgNames({"hw", "encrypt"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ctr)->ArgName("hw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CtrReversed)->ArgName("hw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CbcEncrypt)->ArgName("hw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CbcDecrypt)->ArgName("hw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CcmEncrypt)->ArgName("hw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
