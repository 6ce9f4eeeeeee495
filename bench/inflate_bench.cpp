// Inflate throughput (output bytes per second) of the station's own
// decoder against zlib's and libdeflate's, on the kinds of data an
// application archive holds: text, incompressible binary, and an APK-like
// mix. All decode the same raw Deflate stream made by zlib at level 6. The
// station and zlib decode into a 32 KiB output buffer handed on as it
// fills; libdeflate, a whole-buffer decoder, into one buffer of the full
// size (its best case).
#include <libdeflate.h>
#include <zlib.h>

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

#include "zip/byte_source.h"
#include "zip/inflate.h"
#include "zip/output_window.h"
#include "zip/tests/test_corpus.h"

namespace {

constexpr size_t kSampleBytes = 8u << 20;

struct Sample {
  std::vector<uint8_t> plain, stream;
};

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&z, data.size()));
  z.next_in = const_cast<uint8_t*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

const Sample& SampleOf(int kind) {
  static std::map<int, Sample> samples;
  auto it = samples.find(kind);
  if (it != samples.end()) return it->second;
  Sample s;
  switch (kind) {
    case 0: s.plain = flashery::test::TextBytes(kSampleBytes, 1); break;
    case 1: s.plain = flashery::test::RandomBytes(kSampleBytes, 2); break;
    default: s.plain = flashery::test::MixedBytes(kSampleBytes, 3); break;
  }
  s.stream = Deflate(s.plain);
  return samples.emplace(kind, std::move(s)).first->second;
}

const char* KindName(int kind) { return kind == 0 ? "text" : kind == 1 ? "binary" : "apk-mix"; }

void BM_StationInflate(benchmark::State& state) {
  const Sample& s = SampleOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    flashery::MemoryFeed feed(s.stream.data(), s.stream.size());
    flashery::ByteSource source(feed);
    flashery::DiscardSink sink;
    flashery::OutputWindow window(sink);
    if (flashery::Inflate(source, window) != flashery::kInflateOk || sink.total != s.plain.size())
      state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(sink.total);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.plain.size()));
  state.SetLabel(KindName(static_cast<int>(state.range(0))));
}

void BM_ZlibInflate(benchmark::State& state) {
  const Sample& s = SampleOf(static_cast<int>(state.range(0)));
  std::vector<uint8_t> chunk(32768);
  for (auto _ : state) {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<uint8_t*>(s.stream.data());
    z.avail_in = static_cast<uInt>(s.stream.size());
    size_t total = 0;
    int r = Z_OK;
    while (r == Z_OK) {
      z.next_out = chunk.data();
      z.avail_out = static_cast<uInt>(chunk.size());
      r = inflate(&z, Z_NO_FLUSH);
      total += chunk.size() - z.avail_out;
      benchmark::DoNotOptimize(chunk.data());
    }
    inflateEnd(&z);
    if (r != Z_STREAM_END || total != s.plain.size()) state.SkipWithError("zlib decoding failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.plain.size()));
  state.SetLabel(KindName(static_cast<int>(state.range(0))));
}

void BM_LibdeflateInflate(benchmark::State& state) {
  const Sample& s = SampleOf(static_cast<int>(state.range(0)));
  std::vector<uint8_t> out(s.plain.size());
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    size_t total = 0;
    libdeflate_result r =
        libdeflate_deflate_decompress(d, s.stream.data(), s.stream.size(), out.data(), out.size(), &total);
    if (r != LIBDEFLATE_SUCCESS || total != s.plain.size()) state.SkipWithError("libdeflate decoding failed");
    benchmark::DoNotOptimize(out.data());
  }
  libdeflate_free_decompressor(d);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.plain.size()));
  state.SetLabel(KindName(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_StationInflate)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibdeflateInflate)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
