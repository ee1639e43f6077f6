#include "codec/byte_transform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvek {
namespace {

std::vector<int> counts(int8_t k) {
  DigitCounts d = keyDigitCounts(k);
  return std::vector<int>(d.begin(), d.end());
}

// The transform as its steps read: format the signed value as decimal text,
// turn each character into a count (the sign into 0), and rotate one bit at a
// time, alternating direction; then p single left rotations.
std::vector<int> literalCounts(int8_t k) {
  std::vector<int> result;
  for (char c : std::to_string(static_cast<int>(k))) result.push_back(c == '-' ? 0 : c - '0');
  return result;
}

uint8_t literalEncode(uint8_t b, const std::vector<int>& counts, uint32_t p) {
  bool left = true;
  for (int count : counts) {
    for (int t = 0; t < count; ++t) b = left ? rotateLeftOne(b) : rotateRightOne(b);
    left = !left;
  }
  for (uint32_t t = 0; t < p; ++t) b = rotateLeftOne(b);
  return b;
}

uint8_t literalDecode(uint8_t b, const std::vector<int>& c, uint32_t p) {
  for (uint32_t t = 0; t < p; ++t) b = rotateRightOne(b);
  bool left = c.size() % 2 == 0;
  for (size_t x = c.size(); x-- > 0;) {
    for (int t = 0; t < c[x]; ++t) b = left ? rotateLeftOne(b) : rotateRightOne(b);
    left = !left;
  }
  return b;
}

TEST(RotateOne, MovesTheOuterBitRound) {
  EXPECT_EQ(rotateLeftOne(0x81), 0x03);
  EXPECT_EQ(rotateLeftOne(0x40), 0x80);
  EXPECT_EQ(rotateRightOne(0x81), 0xC0);
  EXPECT_EQ(rotateRightOne(0x02), 0x01);
}

TEST(KeyDigitCounts, FollowsTheSignedDecimalText) {
  EXPECT_EQ(counts(123), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(counts(7), (std::vector<int>{7}));
  EXPECT_EQ(counts(0), (std::vector<int>{0}));
  EXPECT_EQ(counts(-23), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(counts(-128), (std::vector<int>{0, 1, 2, 8}));
  EXPECT_EQ(counts(static_cast<int8_t>(0xE9)), (std::vector<int>{0, 2, 3}));
  for (int k = -128; k < 128; ++k) {
    EXPECT_EQ(counts(static_cast<int8_t>(k)), literalCounts(static_cast<int8_t>(k))) << k;
  }
}

TEST(ByteTransform, SingleByteTable) {
  EXPECT_EQ(encodeByte(0x01, 23, 0), 0x80);
  EXPECT_EQ(decodeByte(0x80, 23, 0), 0x01);
  EXPECT_EQ(encodeByte(0x01, -23, 0), 0x02);
  EXPECT_EQ(encodeByte(0x01, 123, 0), 0x04);
  EXPECT_EQ(encodeByte(0x01, -128, 0), 0x02);
  EXPECT_EQ(encodeByte(0x81, 0, 3), 0x0C);
  EXPECT_EQ(decodeByte(0x0C, 0, 3), 0x81);
}

TEST(ByteTransform, NetRotationsOfSingleCharacters) {
  EXPECT_EQ(encodeByte(0x5A, 0, 0), 0x5A);                          // 0: no rotation at position 0
  EXPECT_EQ(encodeByte(0x01, 9, 0), 0x02);                          // 9 places = 1
  EXPECT_EQ(encodeByte(0x01, 1, 0), 0x02);                          // 1
  EXPECT_EQ(encodeByte(0x01, 10, 0), 0x02);                         // 1 - 0
  EXPECT_EQ(encodeByte(0x01, static_cast<int8_t>(0xE9), 0), 0x02);  // read as -23
  EXPECT_EQ(encodeByte(0x01, 0, 8), 0x01);                          // position 8 acts as 0
  EXPECT_EQ(encodeByte(0x01, 0, 9), 0x02);                          // and 9 as 1
  EXPECT_EQ(encodeByte(0x01, 0, 0xFFFFFFFFu), 0x80);                // 2^32 - 1 = 7 mod 8
}

TEST(ByteTransform, UniformBytesAreFixed) {
  for (int k = -128; k < 128; ++k) {
    for (uint32_t p = 0; p < 8; ++p) {
      const auto key = static_cast<int8_t>(k);
      EXPECT_EQ(encodeByte(0x00, key, p), 0x00);
      EXPECT_EQ(encodeByte(0xFF, key, p), 0xFF);
      if ((netRotation(key) + p) % 2 == 0) {
        EXPECT_EQ(encodeByte(0x55, key, p), 0x55);
        EXPECT_EQ(encodeByte(0xAA, key, p), 0xAA);
      }
    }
  }
}

// Every byte, key character and position 0..15 against the step-by-step
// rotations, and decode against encode both ways round.
TEST(ByteTransform, MatchesTheStepsAndInvertsEverywhere) {
  int failures = 0;
  for (int k = -128; k < 128 && failures < 10; ++k) {
    const auto key = static_cast<int8_t>(k);
    const std::vector<int> c = literalCounts(key);
    for (uint32_t p = 0; p < 16; ++p) {
      for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        const uint8_t encoded = encodeByte(byte, key, p);
        const uint8_t decoded = decodeByte(byte, key, p);
        const bool ok = encoded == literalEncode(byte, c, p) &&
                        decoded == literalDecode(byte, c, p) &&
                        decodeByte(encoded, key, p) == byte && encodeByte(decoded, key, p) == byte;
        if (!ok) {
          ++failures;
          ADD_FAILURE() << "byte " << b << " key " << k << " position " << p;
        }
      }
    }
  }
}

}  // namespace
}  // namespace talvek
