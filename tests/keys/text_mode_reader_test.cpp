#include "platform/text_mode_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "temp_dir.h"

namespace talvek {
namespace {

using test::TempDir;
using test::writeFile;

std::string readBack(const TempDir& dir, const std::string& bytes) {
  const std::string path = dir.file("text");
  writeFile(path, bytes);
  std::string text = "stale";
  EXPECT_TRUE(readTextModeFile(path, text));
  return text;
}

TEST(TextModeReaderTest, TranslatesOnlyCrLfAndStopsAtTheFirstCtrlZ) {
  TempDir dir;
  EXPECT_EQ(readBack(dir, ""), "");
  EXPECT_EQ(readBack(dir, "a\r\nb\r\n"), "a\nb\n");
  // A CR without a LF after it, also at the very end, reads as it is.
  EXPECT_EQ(readBack(dir, "a\rb\r\r\nc\r"), "a\rb\r\nc\r");
  EXPECT_EQ(readBack(dir, "\n\r\n\n"), "\n\n\n");
  EXPECT_EQ(readBack(dir,
                     "ab\x1A"
                     "cd\x1A"),
            "ab");
  EXPECT_EQ(readBack(dir, "ab\r\x1A\r\n"), "ab\r");
  EXPECT_EQ(readBack(dir, std::string("a\0b\xFF", 4)), std::string("a\0b\xFF", 4));
}

TEST(TextModeReaderTest, ReadsLargeFilesAcrossBlockBoundaries) {
  TempDir dir;
  // CR LF pairs and a lone CR straddle every plausible block size.
  std::string bytes;
  std::string expected;
  std::mt19937 generator(7);
  while (bytes.size() < 300000) {
    switch (generator() % 4) {
      case 0:
        bytes += "\r\n";
        expected += "\n";
        break;
      case 1:
        bytes += "\rx";
        expected += "\rx";
        break;
      default: {
        const char c = static_cast<char>('a' + generator() % 26);
        bytes += c;
        expected += c;
      }
    }
  }
  EXPECT_EQ(readBack(dir, bytes), expected);
  EXPECT_EQ(readBack(dir, bytes + "\x1A" + bytes), expected);
}

TEST(TextModeReaderTest, PiecewiseTranslationMatchesTheWholeAtEverySplit) {
  const std::string input = "ab\r\ncd\r\r\ne\rf\r";
  std::string whole;
  bool pending = false;
  appendTextModeBytes(input.data(), input.size(), pending, whole);
  finishTextModeBytes(pending, whole);
  for (size_t split = 0; split <= input.size(); ++split) {
    std::string text;
    pending = false;
    appendTextModeBytes(input.data(), split, pending, text);
    appendTextModeBytes(input.data() + split, input.size() - split, pending, text);
    finishTextModeBytes(pending, text);
    EXPECT_EQ(text, whole) << "split at " << split;
  }
  EXPECT_EQ(whole, "ab\ncd\r\ne\rf\r");
}

TEST(TextModeReaderTest, FailsOnAPathThatCannotBeOpened) {
  TempDir dir;
  std::string text = "stale";
  EXPECT_FALSE(readTextModeFile(dir.file("missing"), text));
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace talvek
