// Speed of the codec: key text preparation (fast and literal) and the block
// transform on every code path, with memcpy of the same buffer as the yard
// stick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "literal_key_text.h"

namespace talvek {
namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string randomPrintable(size_t length) {
  std::mt19937 rng(static_cast<unsigned>(length));
  std::uniform_int_distribution<int> byte(0x21, 0x7E);
  std::string text(length, '\0');
  for (char& c : text) c = static_cast<char>(byte(rng));
  return text;
}

std::vector<uint8_t> randomBuffer() {
  std::mt19937 rng(1);
  std::vector<uint8_t> data(kBufferSize);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  return data;
}

void BM_PrepareKeyText(benchmark::State& state) {
  const std::string key = randomPrintable(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(prepareKeyText(key));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_PrepareKeyText)
    ->Arg(2)
    ->Arg(2000)
    ->Arg(32768)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_LiteralPrepareKeyText(benchmark::State& state) {
  const std::string key = randomPrintable(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(test::literalPrepareKeyText(key));
}
BENCHMARK(BM_LiteralPrepareKeyText)->Arg(2000)->Arg(32768)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  const std::vector<uint8_t> source = randomBuffer();
  std::vector<uint8_t> destination(kBufferSize);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), kBufferSize);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}
BENCHMARK(BM_Memcpy);

// Arguments: the code path and the prepared length n.
void BM_BlockTransform(benchmark::State& state) {
  const auto path = static_cast<CodePath>(state.range(0));
  if (!codePathSupported(path)) {
    state.SkipWithError("code path not supported here");
    return;
  }
  const BlockTransform transform(
      prepareKeyText(randomPrintable(static_cast<size_t>(state.range(1)))), true, path);
  std::vector<uint8_t> data = randomBuffer();
  uint32_t position = 0;
  for (auto _ : state) {
    position = transform.apply(data.data(), data.size(), position);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
  state.SetLabel(codePathName(path));
}
BENCHMARK(BM_BlockTransform)
    ->ArgsProduct({{static_cast<int64_t>(CodePath::Portable), static_cast<int64_t>(CodePath::Sse2),
                    static_cast<int64_t>(CodePath::Avx2)},
                   {2, 64, 32768, 1000000}});

}  // namespace
}  // namespace talvek

BENCHMARK_MAIN();
