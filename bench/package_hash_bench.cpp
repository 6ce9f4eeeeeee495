// The package verification of one 256 MiB package (warm page cache), with
// and without the SHA-256 that rides on its read: their ratio is the cost
// of the hash. The package is written once into /tmp and removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "package/package_open.h"
#include "package/package_sha256.h"
#include "package/package_verify.h"
#include "package/package_writer.h"
#include "platform/files.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace {

using namespace flashery;

struct Quiet final : Prompter {
  int Prompt(const std::string&, const std::string&, PromptButtons) override { return 0; }
};

// A package of 4 KiB BL and a 256 MiB system section of random bytes.
struct BenchPackage {
  std::string dir, path;
  BenchPackage() {
    char tmpl[] = "/tmp/flashery-bench-XXXXXX";
    dir = ::mkdtemp(tmpl) ? tmpl : "/tmp";
    std::string image(256u << 20, '\0');
    std::mt19937_64 rng(1);
    for (size_t i = 0; i + 8 <= image.size(); i += 8) {
      uint64_t v = rng();
      std::memcpy(&image[i], &v, 8);
    }
    WriteFileAtomic(dir + "/system.img", image);
    WriteFileAtomic(dir + "/bl.bin", image.substr(0, 4096));
    path = dir + "/bench.qfm";
    PackageContents contents{"T745", "V1", {}};
    contents.inputs.push_back({QfmSectionKey::BL, dir + "/bl.bin", "bl.bin"});
    contents.inputs.push_back({QfmSectionKey::System, dir + "/system.img", "system.img"});
    WritePackage(path, contents);
  }
  ~BenchPackage() { RemoveTree(dir); }
};

const BenchPackage& Package() {
  static const BenchPackage package;
  return package;
}

void BM_Verify(benchmark::State& state) {
  const bool withHash = state.range(0) != 0;
  TextTable texts;
  Quiet prompter;
  Package();  // written before the timing starts
  for (auto _ : state) {
    auto file = PackageFile::Open(Package().path);
    PackageContext context{texts, prompter};
    QfmHeader header;
    if (!file || !ReadPackageHeader(*file, header, context)) {
      state.SkipWithError("no package");
      return;
    }
    PackageSha256 hash(*file);
    if (withHash) context.readObserver = &hash;
    QfmPackage package;
    bool ok = VerifyPackage(*file, header, package, context);
    if (withHash) ok = ok && hash.Finish().has_value();
    if (!ok) state.SkipWithError("verification failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (256 << 20));
}
BENCHMARK(BM_Verify)->ArgName("sha256")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
