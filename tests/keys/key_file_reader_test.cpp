#include "keys/key_file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "temp_dir.h"

namespace talvek {
namespace {

using test::TempDir;
using test::writeFile;

class KeyFileReaderTest : public ::testing::Test {
 protected:
  // The key text of a file with these bytes, or "refused".
  std::string keyOf(const std::string& bytes) {
    const std::string path = dir_.file("key.mk");
    writeFile(path, bytes);
    std::string key;
    return readKeyFile(path, key) ? key : "refused";
  }
  TempDir dir_;
};

TEST_F(KeyFileReaderTest, AddsOneLineFeedUnlessTheTextEndsWithOne) {
  EXPECT_EQ(keyOf("ab"), "ab\n");
  EXPECT_EQ(keyOf("ab\n"), "ab\n");
  EXPECT_EQ(keyOf("ab\n\n"), "ab\n\n");
  EXPECT_EQ(keyOf("a\nb"), "a\nb\n");
  EXPECT_EQ(keyOf("ab\r"), "ab\r\n");
}

TEST_F(KeyFileReaderTest, CrLfAndLfLineEndsGiveTheSameKey) {
  EXPECT_EQ(keyOf("first\r\nsecond\r\n"), "first\nsecond\n");
  EXPECT_EQ(keyOf("first\r\nsecond"), keyOf("first\nsecond\n"));
}

TEST_F(KeyFileReaderTest, CtrlZEndsTheKey) {
  EXPECT_EQ(keyOf("ab\x1A"
                  "cd"),
            "ab\n");
  EXPECT_EQ(keyOf("a\x1A"
                  "bcd"),
            "refused");
  EXPECT_EQ(keyOf("\x1A"
                  "abcd"),
            "refused");
}

TEST_F(KeyFileReaderTest, RefusesWhatReadsAsFewerThanTwoCharacters) {
  EXPECT_EQ(keyOf(""), "refused");
  EXPECT_EQ(keyOf("a"), "refused");
  EXPECT_EQ(keyOf("\r\n"), "refused");
  EXPECT_EQ(keyOf("\n\n"), "\n\n");
}

TEST_F(KeyFileReaderTest, RefusesPathsThatAreNotRegularFiles) {
  std::string key;
  EXPECT_FALSE(readKeyFile("", key));
  EXPECT_FALSE(readKeyFile(dir_.file("missing.mk"), key));
  EXPECT_FALSE(readKeyFile(dir_.path(), key));
  ASSERT_EQ(::mkfifo(dir_.file("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(readKeyFile(dir_.file("fifo"), key));
}

TEST_F(KeyFileReaderTest, AcceptsBinaryFilesOfAnySize) {
  std::string picture;
  for (int i = 0; i < 200000; ++i) picture.push_back(static_cast<char>((i * 7 + 3) % 256));
  std::string expected;
  for (size_t i = 0; i < picture.size() && picture[i] != '\x1A'; ++i) {
    if (picture[i] == '\r' && i + 1 < picture.size() && picture[i + 1] == '\n') continue;
    expected.push_back(picture[i]);
  }
  if (expected.back() != '\n') expected.push_back('\n');
  EXPECT_EQ(keyOf(picture), expected);
  EXPECT_GT(expected.size(), 2u);

  std::string big(1 << 20, 'k');
  EXPECT_EQ(keyOf(big), big + "\n");
}

// A key file may be as large as any file; its text takes memory for its size
// and the added line feed, not the doubling a growing string would take.
TEST_F(KeyFileReaderTest, TakesMemoryForTheFileOnly) {
  const std::string big((1 << 20) + 5, 'k');
  writeFile(dir_.file("big.mk"), big);
  std::string key;
  ASSERT_TRUE(readKeyFile(dir_.file("big.mk"), key));
  EXPECT_EQ(key.size(), big.size() + 1);
  EXPECT_LE(key.capacity(), big.size() + 1);
}

}  // namespace
}  // namespace talvek
