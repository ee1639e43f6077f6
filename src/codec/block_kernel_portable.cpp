// The portable loop: eight bytes at a time in a 64-bit word (SWAR).
#include <cstring>

#include "codec/block_kernels.h"

namespace talvek::kernels {
namespace {

constexpr uint64_t kLanes = 0x0101010101010101ull;

// Rotates each byte of x left by `bits` places.
template <int bits>
uint64_t rotateLanes(uint64_t x) {
  const uint64_t high = kLanes * static_cast<uint8_t>(0xFFu << bits);
  return ((x << bits) & high) | ((x >> (8 - bits)) & ~high);
}

// Rotates each byte of x by its schedule byte's amount: bit 7 of a schedule
// byte asks for 4 places, bit 6 for 2, bit 5 for 1.
uint64_t rotateWord(uint64_t x, uint64_t s) {
  uint64_t mask = ((s >> 7) & kLanes) * 0xFF;
  x ^= (x ^ rotateLanes<4>(x)) & mask;
  s <<= 1;
  mask = ((s >> 7) & kLanes) * 0xFF;
  x ^= (x ^ rotateLanes<2>(x)) & mask;
  s <<= 1;
  mask = ((s >> 7) & kLanes) * 0xFF;
  x ^= (x ^ rotateLanes<1>(x)) & mask;
  return x;
}

void step(const uint8_t* schedule, uint8_t* data) {
  uint64_t x;
  uint64_t s;
  std::memcpy(&x, data, 8);
  std::memcpy(&s, schedule, 8);
  x = rotateWord(x, s);
  std::memcpy(data, &x, 8);
}

}  // namespace

void rotatePortable(const uint8_t* schedule, size_t span, size_t index, uint8_t* data,
                    size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    step(schedule + index, data + i);
    index += 8;
    index = index >= span ? index - span : index;
  }
  if (i < size) {
    uint8_t tail[8] = {};
    std::memcpy(tail, data + i, size - i);
    step(schedule + index, tail);
    std::memcpy(data + i, tail, size - i);
  }
}

}  // namespace talvek::kernels
