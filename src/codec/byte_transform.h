// The per-byte transform of encoded files: a byte is rotated by the decimal
// digits of one key character, alternately left and right, then left by the
// key position. Decoding applies the inverse rotations.
#pragma once

#include <array>
#include <cstdint>

namespace talvek {

// Defined here so that tables of rotated characters can be built at compile
// time.
constexpr uint8_t rotateLeftOne(uint8_t value) {
  return static_cast<uint8_t>((value << 1) | (value >> 7));
}
constexpr uint8_t rotateRightOne(uint8_t value) {
  return static_cast<uint8_t>((value >> 1) | (value << 7));
}

// The rotation counts of one key character: one per character of its signed
// decimal text, in text order; a minus sign counts 0 ("-23" gives 0, 2, 3).
struct DigitCounts {
  std::array<uint8_t, 4> counts{};
  uint8_t size = 0;

  const uint8_t* begin() const { return counts.data(); }
  const uint8_t* end() const { return counts.data() + size; }
};

DigitCounts keyDigitCounts(int8_t keyChar);

// The net left rotation, 0..7, that the digits of keyChar make:
// (c0 - c1 + c2 - c3) mod 8.
unsigned netRotation(int8_t keyChar);

uint8_t encodeByte(uint8_t data, int8_t keyChar, uint32_t keyPosition);
uint8_t decodeByte(uint8_t data, int8_t keyChar, uint32_t keyPosition);

// Rotates value left by amount mod 8 places in one step.
inline uint8_t rotateLeft(uint8_t value, unsigned amount) {
  amount &= 7u;
  return static_cast<uint8_t>((value << amount) | (value >> ((8u - amount) & 7u)));
}

}  // namespace talvek
