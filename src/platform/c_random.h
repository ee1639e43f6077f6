// The C runtime's random generator, reproduced number for number: the key
// files and working-file names of the program depend on its exact sequence.
#pragma once

#include <cstdint>

namespace talvek {

// A linear congruential generator on 32 bits: each draw sets
// state = state * 214013 + 2531011 and returns (state >> 16) & 0x7FFF.
class CRuntimeRandom {
 public:
  static constexpr int kMax = 32767;  // RAND_MAX

  explicit CRuntimeRandom(uint32_t seed = 1) : state_(seed) {}
  void seed(uint32_t seed) { state_ = seed; }
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }

 private:
  uint32_t state_;
};

// The one process-wide generator that srand and rand act on; like the C
// runtime's, it starts as if seeded with 1. Not thread-safe.
void seedRandom(uint32_t seed);  // srand
int nextRandom();                // rand: 0 to 32767

}  // namespace talvek
