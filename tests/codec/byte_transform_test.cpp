#include "codec/byte_transform.h"

#include <gtest/gtest.h>

#include <vector>

namespace talvek {
namespace {

std::vector<int> counts(int8_t k) {
  DigitCounts d = keyDigitCounts(k);
  return std::vector<int>(d.begin(), d.end());
}

TEST(KeyDigitCounts, FollowsTheSignedDecimalText) {
  EXPECT_EQ(counts(123), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(counts(7), (std::vector<int>{7}));
  EXPECT_EQ(counts(0), (std::vector<int>{0}));
  EXPECT_EQ(counts(-23), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(counts(-128), (std::vector<int>{0, 1, 2, 8}));
  EXPECT_EQ(counts(static_cast<int8_t>(0xE9)), (std::vector<int>{0, 2, 3}));
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

}  // namespace
}  // namespace talvek
