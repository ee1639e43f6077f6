// Throughput of the block transform on every code path this processor has,
// and of memcpy as the yard stick, on the buffers and keys of codec_bench,
// for builds without Google Benchmark. Each case runs `repetitions` rounds of
// at least `seconds` each; one line per case gives the median:
//   block_transform avx2 64 12345.6 MB/s
//   memcpy - - 23456.7 MB/s
//   codec_throughput [SECONDS] [REPETITIONS]     (default 0.5 5)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec/block_transform.h"
#include "codec/key_text.h"

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

// Keeps results the optimiser would otherwise drop.
volatile uint64_t sink;

// The median over rounds of bytes per second (in MB, 10^6) of `step`, which
// handles kBufferSize bytes a call.
template <typename Step>
double medianRate(double seconds, int repetitions, Step step) {
  using Clock = std::chrono::steady_clock;
  step();  // caches and the schedule warm
  std::vector<double> rates;
  for (int round = 0; round < repetitions; ++round) {
    uint64_t calls = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do {
      for (int i = 0; i < 16; ++i) step();
      calls += 16;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    rates.push_back(static_cast<double>(calls * kBufferSize) / elapsed / 1e6);
  }
  std::sort(rates.begin(), rates.end());
  return rates[rates.size() / 2];
}

}  // namespace
}  // namespace talvek

int main(int argc, char** argv) {
  using namespace talvek;
  const double seconds = argc > 1 ? std::atof(argv[1]) : 0.5;
  const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

  const std::vector<uint8_t> source = randomBuffer();
  std::vector<uint8_t> destination(kBufferSize);
  const double memcpyRate = medianRate(seconds, repetitions, [&] {
    std::memcpy(destination.data(), source.data(), kBufferSize);
    sink = destination[kBufferSize / 2];
  });
  std::printf("memcpy - - %.1f MB/s\n", memcpyRate);

  for (CodePath path : {CodePath::Portable, CodePath::Sse2, CodePath::Avx2}) {
    if (!codePathSupported(path)) {
      std::printf("block_transform %s - unsupported\n", codePathName(path));
      continue;
    }
    for (size_t keyLength : {size_t{2}, size_t{64}, size_t{32768}, size_t{1000000}}) {
      const BlockTransform transform(prepareKeyText(randomPrintable(keyLength)), true, path);
      std::vector<uint8_t> data = randomBuffer();
      uint64_t position = 0;
      const double rate = medianRate(seconds, repetitions, [&] {
        position = transform.apply(data.data(), data.size(), position);
        sink = position + data[kBufferSize / 2];
      });
      std::printf("block_transform %s %zu %.1f MB/s\n", codePathName(path), keyLength, rate);
    }
  }
  return 0;
}
