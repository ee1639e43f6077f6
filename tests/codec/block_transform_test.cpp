#include "codec/block_transform.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/byte_transform.h"

namespace talvek {
namespace {

std::vector<uint8_t> randomBytes(std::mt19937& rng, size_t size) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(rng));
  return bytes;
}

std::string randomKey(std::mt19937& rng, size_t size) {
  const std::vector<uint8_t> bytes = randomBytes(rng, size);
  return std::string(bytes.begin(), bytes.end());
}

// What the file job did byte by byte: key character and position k mod n.
std::vector<uint8_t> byteByByte(std::vector<uint8_t> data, const std::string& key, bool encode,
                                uint64_t position) {
  const uint64_t n = key.size();
  uint64_t p = position % n;
  for (uint8_t& b : data) {
    const auto k = static_cast<int8_t>(key[p]);
    const auto at = static_cast<uint32_t>(p);
    b = encode ? encodeByte(b, k, at) : decodeByte(b, k, at);
    if (++p == n) p = 0;
  }
  return data;
}

class BlockTransformTest : public ::testing::TestWithParam<CodePath> {
 protected:
  void SetUp() override {
    if (!codePathSupported(GetParam())) GTEST_SKIP() << "not supported here";
  }
};

TEST_P(BlockTransformTest, RunsOnTheRequestedPath) {
  BlockTransform transform("ab", true, GetParam());
  EXPECT_EQ(transform.codePath(), GetParam());
  EXPECT_EQ(transform.period(), 2u);
}

// Buffer lengths around every vector width, key lengths shorter and longer
// than the buffers and around the replicated schedule's span, and starting
// positions inside and beyond the key.
TEST_P(BlockTransformTest, MatchesTheByteFunctions) {
  std::mt19937 rng(7);
  const size_t keyLengths[] = {1, 2, 3, 14, 64, 333, 4095, 4096, 4097, 5000, 70001};
  const size_t sizes[] = {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 129, 1000, 9001};
  for (size_t n : keyLengths) {
    const std::string key = randomKey(rng, n);
    for (bool encode : {true, false}) {
      const BlockTransform transform(key, encode, GetParam());
      for (size_t size : sizes) {
        std::uniform_int_distribution<uint64_t> pick(0, n - 1);
        // File offsets past 4 GiB are positions too.
        for (uint64_t position : {uint64_t{0}, pick(rng), uint64_t{n - 1}, uint64_t{0xFFFFFFFF},
                                  (uint64_t{1} << 40) + 3, ~uint64_t{0}}) {
          const std::vector<uint8_t> data = randomBytes(rng, size);
          std::vector<uint8_t> actual = data;
          const uint64_t next = transform.apply(actual.data(), actual.size(), position);
          ASSERT_EQ(actual, byteByByte(data, key, encode, position))
              << "n " << n << " size " << size << " position " << position;
          ASSERT_EQ(next, (position % n + size) % n);
        }
      }
    }
  }
}

TEST_P(BlockTransformTest, ContinuesAcrossCalls) {
  std::mt19937 rng(11);
  for (size_t n : {2u, 30u, 4098u, 100000u}) {
    const std::string key = randomKey(rng, n);
    const BlockTransform transform(key, true, GetParam());
    const std::vector<uint8_t> data = randomBytes(rng, 300000);
    std::vector<uint8_t> actual = data;
    std::uniform_int_distribution<size_t> chunk(0, 5000);
    uint64_t position = 0;
    for (size_t done = 0; done < actual.size();) {
      const size_t size = std::min(chunk(rng), actual.size() - done);
      position = transform.apply(actual.data() + done, size, position);
      done += size;
    }
    ASSERT_EQ(actual, byteByByte(data, key, true, 0)) << "n " << n;
    EXPECT_EQ(position, data.size() % n);
  }
}

TEST_P(BlockTransformTest, DecodeUndoesEncode) {
  std::mt19937 rng(13);
  const std::string key = randomKey(rng, 1234);
  const std::vector<uint8_t> data = randomBytes(rng, 50000);
  std::vector<uint8_t> round = data;
  BlockTransform(key, true, GetParam()).apply(round.data(), round.size(), 17);
  EXPECT_NE(round, data);
  BlockTransform(key, false, GetParam()).apply(round.data(), round.size(), 17);
  EXPECT_EQ(round, data);
}

TEST_P(BlockTransformTest, EmptyKeyLeavesDataAlone) {
  const BlockTransform transform("", true, GetParam());
  EXPECT_EQ(transform.period(), 0u);
  std::vector<uint8_t> data = {1, 2, 3};
  EXPECT_EQ(transform.apply(data.data(), data.size(), 5), 0u);
  EXPECT_EQ(data, (std::vector<uint8_t>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(AllPaths, BlockTransformTest,
                         ::testing::Values(CodePath::Portable, CodePath::Sse2, CodePath::Avx2),
                         [](const ::testing::TestParamInfo<CodePath>& info) {
                           return std::string(codePathName(info.param));
                         });

// Keys of 2^32 characters or more are as long as a file can hold; a 32-bit
// period made such a key's period 0 (no transform at all) or cut it short.
TEST(KeyPositions, AdvanceWrapsExactlyForEveryPeriod) {
  constexpr uint64_t k4G = uint64_t{1} << 32;
  constexpr uint64_t kMax = ~uint64_t{0};
  struct Case {
    uint64_t position, count, period, expected;
  };
  for (const Case& c : std::vector<Case>{
           {0, 1, k4G, 1},
           {k4G - 1, 1, k4G, 0},
           {k4G - 1, 1, k4G + 2, k4G},
           {k4G + 1, 1, k4G + 2, 0},
           {5, k4G + 2, k4G + 2, 5},
           {3, 2 * k4G + 5, k4G + 2, 4},
           {kMax - 1, 2, kMax, 1},
           {kMax, kMax, kMax, 0},
           // The sum passes 2^64 and must still wrap only once.
           {(uint64_t{1} << 63) + 5, uint64_t{1} << 63, (uint64_t{1} << 63) + 7,
            (uint64_t{1} << 63) - 2},
           {12, 7, 1, 0},
       }) {
    EXPECT_EQ(advanceKeyPosition(c.position, c.count, c.period), c.expected)
        << c.position << " + " << c.count << " mod " << c.period;
  }
}

TEST(CodePaths, PortableIsAlwaysThereAndBestIsSupported) {
  EXPECT_TRUE(codePathSupported(CodePath::Portable));
  EXPECT_TRUE(codePathSupported(bestCodePath()));
  EXPECT_EQ(BlockTransform("ab", true).codePath(), bestCodePath());
}

}  // namespace
}  // namespace talvek
