// Throughput of every check-value routine on this CPU, in bytes per second,
// for a WriteBlock-sized buffer and a large in-memory image piece.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "package/crc16.h"
#include "package/crc16_dispatch.h"

namespace {

using flashery::Crc16Path;

const std::vector<uint8_t>& Data() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> v(16u << 20);
    std::mt19937 rng(1);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
  }();
  return data;
}

void BM_Crc16(benchmark::State& state, Crc16Path path) {
  if (!flashery::Crc16PathSupported(path)) {
    state.SkipWithError("routine not supported by this CPU");
    return;
  }
  const size_t length = static_cast<size_t>(state.range(0));
  const uint8_t* data = Data().data();
  uint32_t reg = 0;
  for (auto _ : state) {
    reg = flashery::Crc16UpdateOn(path, data, length, reg);
    benchmark::DoNotOptimize(reg);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(length));
}

// The WriteBlock check's kernel, counted in the bytes it actually reads: a
// block's check covers only an eighth of the block, so a whole block would
// flatter it eightfold.
void BM_BlockCheckKernel(benchmark::State& state) {
  const uint8_t* data = Data().data();
  const size_t bytes = static_cast<size_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(flashery::HdlcCheckBits(data, 8 * bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

BENCHMARK_CAPTURE(BM_Crc16, table, Crc16Path::Table)->Arg(65024)->Arg(16 << 20);
BENCHMARK_CAPTURE(BM_Crc16, slice16, Crc16Path::Slice16)->Arg(65024)->Arg(16 << 20);
BENCHMARK_CAPTURE(BM_Crc16, clmul, Crc16Path::Clmul)->Arg(65024)->Arg(16 << 20);
BENCHMARK_CAPTURE(BM_Crc16, vclmul, Crc16Path::VClmul)->Arg(65024)->Arg(16 << 20);
BENCHMARK(BM_BlockCheckKernel)->Arg(8128)->Arg(65024);

}  // namespace

BENCHMARK_MAIN();
