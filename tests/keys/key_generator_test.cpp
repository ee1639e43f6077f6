#include "keys/key_generator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <set>

#include "keys/key_file_format.h"

namespace talvek {
namespace {

// Serves the queued 32-bit words (little-endian), then zero bytes.
class ScriptedBytes {
 public:
  explicit ScriptedBytes(std::deque<uint32_t> words) : words_(std::move(words)) {}
  bool operator()(uint8_t* buffer, size_t size) {
    ++fetches_;
    std::memset(buffer, 0, size);
    for (size_t at = 0; at + 4 <= size && !words_.empty(); at += 4) {
      const uint32_t w = words_.front();
      words_.pop_front();
      for (int i = 0; i < 4; ++i) buffer[at + i] = static_cast<uint8_t>(w >> (8 * i));
    }
    return true;
  }
  int fetches_ = 0;

 private:
  std::deque<uint32_t> words_;
};

TEST(UniformRandomTest, RejectsWordsFromTheIncompleteTopCopyOfTheRange) {
  // 2^32 = 45210182 * 95 + 6: the six highest words would favour 0 to 5.
  const uint32_t lastUsable = 0xFFFFFFFFu - 6;
  ScriptedBytes bytes({0xFFFFFFFFu, lastUsable + 1, lastUsable, 97});
  UniformRandom random([&](uint8_t* b, size_t n) { return bytes(b, n); });
  uint32_t value = 1000;
  ASSERT_TRUE(random.below(95, value));
  EXPECT_EQ(value, lastUsable % 95);
  ASSERT_TRUE(random.below(95, value));
  EXPECT_EQ(value, 97u % 95);
}

TEST(UniformRandomTest, PowersOfTwoNeverRejectAndOneIsAlwaysZero) {
  ScriptedBytes bytes({0xFFFFFFFFu, 0xFFFFFFFFu});
  UniformRandom random([&](uint8_t* b, size_t n) { return bytes(b, n); });
  uint32_t value = 0;
  ASSERT_TRUE(random.below(256, value));
  EXPECT_EQ(value, 255u);
  ASSERT_TRUE(random.below(1, value));
  EXPECT_EQ(value, 0u);
}

TEST(UniformRandomTest, ReportsAFailingSource) {
  UniformRandom random([](uint8_t*, size_t) { return false; });
  uint32_t value = 42;
  EXPECT_FALSE(random.below(10, value));
  EXPECT_EQ(value, 42u);
}

TEST(KeyGeneratorTest, LengthAndCharactersSpanTheWholeFormat) {
  {
    ScriptedBytes bytes({0, 0, 94});
    UniformRandom random([&](uint8_t* b, size_t n) { return bytes(b, n); });
    EXPECT_EQ(generateKeyText(random), std::optional<std::string>(" ~"));
  }
  {
    ScriptedBytes bytes({32765});
    UniformRandom random([&](uint8_t* b, size_t n) { return bytes(b, n); });
    const auto key = generateKeyText(random);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->size(), 32767u);
    EXPECT_GT(bytes.fetches_, 1);  // 32768 words need many blocks
  }
  {
    // One past the longest length wraps round to the shortest.
    ScriptedBytes bytes({32766});
    UniformRandom random([&](uint8_t* b, size_t n) { return bytes(b, n); });
    const auto key = generateKeyText(random);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->size(), 2u);
  }
}

TEST(KeyGeneratorTest, SystemKeysArePrintableWithoutLineBreaksAndDiffer) {
  std::set<std::string> keys;
  for (int i = 0; i < 8; ++i) {
    const auto key = generateKeyText();
    ASSERT_TRUE(key);
    ASSERT_GE(key->size(), size_t{kMinKeyFileLength});
    ASSERT_LE(key->size(), size_t{kMaxKeyFileLength});
    for (char c : *key) {
      ASSERT_GE(c, kFirstKeyFileByte);
      ASSERT_LE(c, kLastKeyFileByte);
    }
    keys.insert(*key);
  }
  EXPECT_EQ(keys.size(), 8u);
}

TEST(KeyGeneratorTest, FailsWhenTheSourceFails) {
  UniformRandom random([](uint8_t*, size_t) { return false; });
  EXPECT_FALSE(generateKeyText(random));
}

}  // namespace
}  // namespace talvek
