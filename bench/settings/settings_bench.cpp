// What a dialog start and close cost in the store: the option read or written
// with the program's keys and the twelve shell entries refreshed on the way.
// The store lives in a private temporary directory; the desktop is left alone.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/options_store.h"

namespace talvek {
namespace {

class ScratchStore {
 public:
  ScratchStore() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvek-bench-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
  }
  ~ScratchStore() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  std::string path() const { return dir_.empty() ? std::string() : dir_ + "/registry.db"; }

 private:
  std::string dir_;
};

// After the first run every refresh finds its keys and texts in place.
void BM_LoadOptType(benchmark::State& state) {
  ScratchStore scratch;
  RegistryAccess registry(scratch.path());
  OptionsStore options(registry, "/opt/talvek/talvek");
  options.saveOptType(false);
  for (auto _ : state) benchmark::DoNotOptimize(options.loadOptType());
}
BENCHMARK(BM_LoadOptType)->Unit(benchmark::kMillisecond);

// Each save changes the stored number, so each one commits to the disk.
void BM_SaveOptTypeChanging(benchmark::State& state) {
  ScratchStore scratch;
  RegistryAccess registry(scratch.path());
  OptionsStore options(registry, "/opt/talvek/talvek");
  bool password = false;
  for (auto _ : state) {
    options.saveOptType(password);
    password = !password;
  }
}
BENCHMARK(BM_SaveOptTypeChanging)->Unit(benchmark::kMillisecond);

// A first run: every key and text is new.
void BM_FirstRegistration(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      ScratchStore scratch;
      RegistryAccess registry(scratch.path());
      state.ResumeTiming();
      OptionsStore(registry, "/opt/talvek/talvek").loadOptType();
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstRegistration)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace talvek
