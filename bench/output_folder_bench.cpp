// The confirmation window's move of two outputs into the save folder, against
// a plain copy-and-delete of the same files (the reference).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/output_folder.h"

namespace fs = std::filesystem;

namespace {

struct Folders {
  fs::path root = fs::temp_directory_path() /
                  ("tavo_move_bench_" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  tavo::Env env;
  std::string bytes;
  explicit Folders(std::size_t size) : bytes(size, 'x') {
    env.programDir = root / "program";
    env.downloadsDir = root / "Downloads";
    fs::create_directories(env.programDir);
    fs::create_directories(env.downloadsDir);
    fs::create_directories(root / "save");
    for (std::size_t i = 0; i < bytes.size(); i += 64) bytes[i] = '\n';
  }
  ~Folders() { fs::remove_all(root); }
  void Outputs() {
    for (const char* name : {"a.uke", "b.uke"})
      std::ofstream(env.programDir / name, std::ios::binary) << bytes;
  }
};

void BM_MoveOutputs(benchmark::State& state) {
  Folders f(static_cast<std::size_t>(state.range(0)));
  const tavo::Text save = (f.root / "save").u16string();
  for (auto _ : state) {
    state.PauseTiming();
    f.Outputs();
    state.ResumeTiming();
    auto r = tavo::MoveOutputs(f.env, u"a.uke", u"b.uke", save, u"");
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(state.iterations() * 2 * state.range(0));
}

void BM_CopyAndDeleteReference(benchmark::State& state) {
  Folders f(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    f.Outputs();
    state.ResumeTiming();
    for (const char* name : {"a.uke", "b.uke"}) {
      fs::copy_file(f.env.programDir / name, f.root / "save" / name,
                    fs::copy_options::overwrite_existing);
      fs::remove(f.env.programDir / name);
    }
  }
  state.SetBytesProcessed(state.iterations() * 2 * state.range(0));
}

}  // namespace

BENCHMARK(BM_MoveOutputs)->Arg(1 << 20)->Arg(32 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyAndDeleteReference)->Arg(1 << 20)->Arg(32 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
