#include "keys/secure_random.h"

#include <utility>

namespace talvek {

namespace {
constexpr size_t kBlockSize = 4096;
}  // namespace

UniformRandom::UniformRandom(RandomBytesSource source)
    : source_(std::move(source)), block_(kBlockSize), used_(kBlockSize) {}

bool UniformRandom::nextWord(uint32_t& word) {
  if (used_ + 4 > block_.size()) {
    if (!source_(block_.data(), block_.size())) return false;
    used_ = 0;
  }
  const uint8_t* p = block_.data() + used_;
  word = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  used_ += 4;
  return true;
}

bool UniformRandom::below(uint32_t bound, uint32_t& value) {
  // 2^32 mod bound words at the top would fold onto the low values; skip them.
  const uint32_t excess = static_cast<uint32_t>((uint64_t{1} << 32) % bound);
  const uint32_t limit = static_cast<uint32_t>((uint64_t{1} << 32) - excess - 1);  // last usable
  uint32_t word;
  do {
    if (!nextWord(word)) return false;
  } while (word > limit);
  value = word % bound;
  return true;
}

}  // namespace talvek
