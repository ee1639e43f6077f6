#include "codec/key_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "codec/byte_transform.h"

namespace talvek {
namespace {

constexpr char kPad = '@';

int64_t asSigned(char c) {
  return static_cast<int8_t>(c);
}

// The loop "while counter < bound(current value): rotate one bit, counter++"
// stops at the first count j with j >= bound(value after j rotations). The
// value after j rotations depends only on j mod 8, so for each residue r the
// first candidate is the smallest j = r (mod 8) at or above that residue's
// bound; the loop stops at the least of the eight candidates.
template <typename RotateOne>
char rotateUntilBound(char start, int64_t offset, RotateOne rotateOne) {
  std::array<uint8_t, 8> values{};
  values[0] = static_cast<uint8_t>(start);
  for (int r = 1; r < 8; ++r) values[r] = rotateOne(values[r - 1]);

  int64_t stop = std::numeric_limits<int64_t>::max();
  for (int64_t r = 0; r < 8; ++r) {
    const int64_t bound = static_cast<int8_t>(values[r]) + offset;
    int64_t j = r;
    if (bound > r) j = r + (bound - r + 7) / 8 * 8;
    stop = std::min(stop, j);
  }
  return static_cast<char>(values[stop % 8]);
}

// x / 10 truncated toward zero, as C++ division does.
int64_t tenth(int64_t x) {
  return x / 10;
}

}  // namespace

std::string prepareKeyText(std::string s) {
  while (s.size() < 2) s.push_back(kPad);
  if (s.size() % 2 != 0) s.push_back(kPad);
  const int64_t n = static_cast<int64_t>(s.size());

  for (int64_t i = 0; i < n; i += 2) {
    s[i] = rotateUntilBound(s[i], i + n, rotateLeftOne);
    s[i + 1] = rotateUntilBound(s[i + 1], i + n + 1, rotateRightOne);
    if (i == 0) continue;

    const int64_t m = tenth(asSigned(s[i - 1])) + asSigned(s[n - 2]) + tenth(asSigned(s[i + 1])) -
                      asSigned(s[0]) + i + asSigned(s[i]);
    const int64_t v = tenth(asSigned(s[i - 1])) + asSigned(s[n - 1]) + tenth(asSigned(s[i])) -
                      asSigned(s[1]) + i + asSigned(s[i + 1]);
    if (m >= 1 && m <= 255) s[i] = static_cast<char>(m);
    if (v >= 1 && v <= 255) s[i + 1] = static_cast<char>(v);
  }
  return s;
}

}  // namespace talvek
