// Key text preparation done literally: every loop rotates one bit at a time
// and recomputes its bound before each rotation. Quadratic in the length;
// the reference that the fast prepareKeyText is checked and timed against.
#pragma once

#include <cstdint>
#include <string>

#include "codec/byte_transform.h"

namespace talvek::test {

inline std::string literalPrepareKeyText(std::string s) {
  while (s.size() < 2) s.push_back('@');
  if (s.size() % 2 != 0) s.push_back('@');
  const long n = static_cast<long>(s.size());
  auto at = [&s](long x) -> long { return static_cast<int8_t>(s[x]); };
  auto q = [](long x) -> long { return x / 10; };
  auto rotateLeftChar = [](char c) {
    return static_cast<char>(rotateLeftOne(static_cast<uint8_t>(c)));
  };
  auto rotateRightChar = [](char c) {
    return static_cast<char>(rotateRightOne(static_cast<uint8_t>(c)));
  };

  for (long i = 0; i < n; i += 2) {
    long j = 0;
    while (!(j >= at(i) + i + n)) {
      s[i] = rotateLeftChar(s[i]);
      ++j;
    }
    long k = 0;
    while (!(k >= at(i + 1) + i + n + 1)) {
      s[i + 1] = rotateRightChar(s[i + 1]);
      ++k;
    }
    if (i == 0) continue;
    const long m = q(at(i - 1)) + at(n - 2) + q(at(i + 1)) - at(0) + i + at(i);
    const long v = q(at(i - 1)) + at(n - 1) + q(at(i)) - at(1) + i + at(i + 1);
    if (m >= 1 && m <= 255) s[i] = static_cast<char>(m);
    if (v >= 1 && v <= 255) s[i + 1] = static_cast<char>(v);
  }
  return s;
}

}  // namespace talvek::test
