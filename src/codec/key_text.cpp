#include "codec/key_text.h"

#include <array>
#include <cstdint>

#include "codec/byte_transform.h"

namespace talvek {
namespace {

constexpr char kPad = '@';

// Bounds are signed value + offset; from this offset on, every bound exceeds
// every residue (127 + 8 < 136), which the table below relies on.
constexpr int64_t kLargeOffset = 136;

// The loop "while counter < bound(current value): rotate one bit, counter++"
// stops at the first count j with j >= bound(value after j rotations). The
// value after j rotations depends only on j mod 8, so for each residue r the
// first candidate is the smallest j = r (mod 8) at or above that residue's
// bound; the loop stops at the least of the eight candidates. Returns the
// character the loop leaves.
template <bool left>
constexpr uint8_t rotateUntilBound(uint8_t start, int64_t offset) {
  std::array<uint8_t, 8> values{};
  values[0] = start;
  for (int r = 1; r < 8; ++r) {
    values[r] = left ? rotateLeftOne(values[r - 1]) : rotateRightOne(values[r - 1]);
  }
  int64_t stop = INT64_MAX;
  for (int64_t r = 0; r < 8; ++r) {
    const int64_t bound = static_cast<int8_t>(values[r]) + offset;
    const int64_t j = bound > r ? r + (bound - r + 7) / 8 * 8 : r;
    stop = j < stop ? j : stop;
  }
  return values[stop % 8];
}

// For offsets of kLargeOffset or more, every candidate above is
// r + 8 * ceil((value_r + offset - r) / 8), so adding 8 to the offset adds 8
// to each candidate and leaves the winning residue alone: the result depends
// only on the start character and offset mod 8. Long key texts thus take one
// table look-up per character.
template <bool left>
constexpr std::array<std::array<uint8_t, 256>, 8> makeLargeOffsetTable() {
  std::array<std::array<uint8_t, 256>, 8> table{};
  for (int b = 0; b < 8; ++b) {
    for (int c = 0; c < 256; ++c) {
      table[b][c] = rotateUntilBound<left>(static_cast<uint8_t>(c), kLargeOffset + b);
    }
  }
  return table;
}

constexpr auto kLeftTable = makeLargeOffsetTable<true>();
constexpr auto kRightTable = makeLargeOffsetTable<false>();

template <bool left>
char rotated(char c, int64_t offset) {
  const uint8_t start = static_cast<uint8_t>(c);
  if (offset < kLargeOffset) return static_cast<char>(rotateUntilBound<left>(start, offset));
  const auto& table = left ? kLeftTable : kRightTable;
  return static_cast<char>(table[offset % 8][start]);
}

int64_t asSigned(char c) {
  return static_cast<int8_t>(c);
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
    s[i] = rotated<true>(s[i], i + n);
    s[i + 1] = rotated<false>(s[i + 1], i + n + 1);
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
