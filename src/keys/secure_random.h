// Uniform random numbers from the system's cryptographically secure generator,
// for key material: a key must not be reproducible from the time it was made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/secure_random.h"

namespace talvek {

// Fills a buffer with random bytes; false when none are available.
using RandomBytesSource = std::function<bool(uint8_t* buffer, size_t size)>;

// Draws uniform values in [0, bound) from a byte source, fetching bytes in
// blocks. Values come from 32-bit draws by rejection: draws from the top,
// incomplete copy of the range are thrown away, so no value is favoured.
class UniformRandom {
 public:
  explicit UniformRandom(RandomBytesSource source = systemRandomBytes);

  // False when the source fails; `value` is then unchanged. bound >= 1.
  bool below(uint32_t bound, uint32_t& value);

 private:
  bool nextWord(uint32_t& word);

  RandomBytesSource source_;
  std::vector<uint8_t> block_;
  size_t used_;
};

}  // namespace talvek
