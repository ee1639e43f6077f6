#include "codec/byte_transform.h"

namespace talvek {

DigitCounts keyDigitCounts(int8_t keyChar) {
  DigitCounts result;
  int value = keyChar;
  if (value < 0) {
    result.counts[result.size++] = 0;  // the sign is no number
    value = -value;
  }
  std::array<uint8_t, 3> digits{};
  int count = 0;
  do {
    digits[count++] = static_cast<uint8_t>(value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) result.counts[result.size++] = digits[--count];
  return result;
}

unsigned netRotation(int8_t keyChar) {
  int net = 0;
  int sign = 1;
  for (uint8_t count : keyDigitCounts(keyChar)) {
    net += sign * count;
    sign = -sign;
  }
  return static_cast<unsigned>(net) & 7u;
}

uint8_t encodeByte(uint8_t data, int8_t keyChar, uint32_t keyPosition) {
  return rotateLeft(data, netRotation(keyChar) + (keyPosition & 7u));
}

uint8_t decodeByte(uint8_t data, int8_t keyChar, uint32_t keyPosition) {
  return rotateLeft(data, 8u - ((netRotation(keyChar) + (keyPosition & 7u)) & 7u));
}

}  // namespace talvek
