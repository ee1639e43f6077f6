#include "codec/key_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "literal_key_text.h"

namespace talvek {
namespace {

using test::literalPrepareKeyText;

std::string randomText(std::mt19937& rng, size_t length, int low, int high) {
  std::uniform_int_distribution<int> byte(low, high);
  std::string text(length, '\0');
  for (char& c : text) c = static_cast<char>(byte(rng));
  return text;
}

TEST(PrepareKeyText, PadsToAnEvenLengthOfAtLeastTwo) {
  for (size_t length = 0; length < 12; ++length) {
    const size_t expected = length < 2 ? 2 : length + length % 2;
    EXPECT_EQ(prepareKeyText(std::string(length, 'k')).size(), expected) << length;
  }
  EXPECT_EQ(prepareKeyText(std::string(667, 'k')).size(), 668u);
  EXPECT_EQ(prepareKeyText(std::string(668, 'k')).size(), 668u);
}

TEST(PrepareKeyText, ShortTextsArePaddedWithAt) {
  // "@@": 0x40 rotates left once to 0x80 (bound 66, then -126); the second
  // 0x40 rotates right five times to 0x02 (bounds 67, 35, 19, 11, 7, 5).
  const std::string expected("\x80\x02", 2);
  EXPECT_EQ(prepareKeyText(""), expected);
  EXPECT_EQ(prepareKeyText("@"), expected);
  EXPECT_EQ(prepareKeyText("@@"), expected);
  // An odd text gets its "@" at the end, not in front.
  EXPECT_EQ(prepareKeyText("abc"), prepareKeyText(std::string("abc@")));
}

TEST(PrepareKeyText, BoundIsRecomputedAfterEveryRotation) {
  // 0x41 at index 0 of two characters: bound 67, one rotation gives 0x82
  // (-126), bound -124, and the loop ends.
  EXPECT_EQ(prepareKeyText("A\x01")[0], '\x82');
  // -128 meets the bound -126 at index 0 and -125 at index 1: no rotation,
  // and a two-character text is never mixed.
  EXPECT_EQ(prepareKeyText("\x80\x80"), std::string("\x80\x80", 2));
}

TEST(PrepareKeyText, IsDeterministicAndLeavesItsInputAlone) {
  const std::string key = "correct horse battery staple";
  const std::string copy = key;
  EXPECT_EQ(prepareKeyText(key), prepareKeyText(key));
  EXPECT_EQ(key, copy);
}

// The fast preparation against the literal one on random texts: every small
// length (the table for long offsets starts within them), lengths around 664
// where mixing stops, and bytes of the whole range, the top half alone and
// printable ASCII.
TEST(PrepareKeyText, MatchesTheLiteralSteps) {
  std::mt19937 rng(20261208);
  struct Range {
    int low;
    int high;
  };
  const Range ranges[] = {{0x00, 0xFF}, {0x80, 0xFF}, {0x20, 0x7E}};
  for (size_t length = 0; length <= 160; ++length) {
    for (const Range& r : ranges) {
      const std::string key = randomText(rng, length, r.low, r.high);
      ASSERT_EQ(prepareKeyText(key), literalPrepareKeyText(key)) << "length " << length;
    }
  }
  for (size_t length = 660; length <= 700; ++length) {
    const Range& r = ranges[length % 3];
    const std::string key = randomText(rng, length, r.low, r.high);
    ASSERT_EQ(prepareKeyText(key), literalPrepareKeyText(key)) << "length " << length;
  }
  const std::string longKey = randomText(rng, 2001, 0x00, 0xFF);
  EXPECT_EQ(prepareKeyText(longKey), literalPrepareKeyText(longKey));
}

// Texts of a single repeated byte hit each start character at every offset.
TEST(PrepareKeyText, MatchesTheLiteralStepsForEveryRepeatedByte) {
  for (int c = 0; c < 256; ++c) {
    for (size_t length : {2u, 5u, 70u, 141u}) {
      const std::string key(length, static_cast<char>(c));
      ASSERT_EQ(prepareKeyText(key), literalPrepareKeyText(key)) << c << " x " << length;
    }
  }
}

}  // namespace
}  // namespace talvek
