#include "job/working_copy.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "job_test_support.h"
#include "platform/c_random.h"

namespace talvek {
namespace {

using test::entries;
using test::JobTest;

// The name randomFileName will draw next from the shared generator, which is
// reseeded here so the draw can be predicted.
std::string seedAndPredictName(uint32_t seed, int skip = 0) {
  (void)randomBelow(2);  // makes sure the once-per-process seeding is done
  seedRandom(seed);
  CRuntimeRandom reference(seed);
  auto draw = [&reference](int count) {
    std::string letters;
    for (int i = 0; i < count; ++i) letters += static_cast<char>('a' + reference.next() % 26);
    return letters;
  };
  std::string name;
  for (int i = 0; i <= skip; ++i) {
    name = draw(8);
    name += '.';
    name += draw(3);
  }
  return name;
}

TEST(RandomBelow, SeedsOnlyOnceAndThenFollowsTheGenerator) {
  (void)randomBelow(10);
  seedRandom(1);
  // Not seeded again from the time: the sequence after srand(1) goes on.
  EXPECT_EQ(randomBelow(32768), 41);
  EXPECT_EQ(randomBelow(32768), 18467);
  EXPECT_EQ(randomBelow(100), 6334 % 100);
  for (int i = 0; i < 1000; ++i) {
    const int value = randomBelow(26);
    ASSERT_GE(value, 0);
    ASSERT_LT(value, 26);
  }
}

TEST(RandomFileName, HasTheRequestedForm) {
  for (auto [name, ext] : {std::pair<int, int>{0, 0}, {8, 3}}) {
    const std::string drawn = randomFileName(static_cast<uint8_t>(name), static_cast<uint8_t>(ext));
    EXPECT_TRUE(test::isWorkingFileName(drawn)) << drawn;
  }
  const std::string other = randomFileName(2, 5);
  ASSERT_EQ(other.size(), 8u);
  EXPECT_EQ(other[2], '.');
  // Letters come from the shared generator in order: name first, then extension.
  const std::string predicted = seedAndPredictName(99);
  EXPECT_EQ(randomFileName(0, 0), predicted);
}

TEST_F(JobTest, TempFilePathsDifferAndSkipEveryTakenName) {
  EXPECT_NE(makeTempFilePath(8, 3), makeTempFilePath(8, 3));

  // Plant a file, a directory and a dangling link at the next three names.
  const std::string first = seedAndPredictName(4242, 0);
  const std::string second = seedAndPredictName(4242, 1);
  const std::string third = seedAndPredictName(4242, 2);
  const std::string fourth = seedAndPredictName(4242, 3);
  test::writeFile(tmp() + "/" + first, "taken");
  ASSERT_EQ(::mkdir((tmp() + "/" + second).c_str(), 0700), 0);
  ASSERT_EQ(::symlink("nowhere", (tmp() + "/" + third).c_str()), 0);
  seedRandom(4242);
  EXPECT_EQ(makeTempFilePath(8, 3), tmp() + "/" + fourth);
  EXPECT_EQ(entries(tmp()).size(), 3u);  // nothing created
}

TEST_F(JobTest, TempFilePathsFallBackToTmpWhenTmpdirIsMissing) {
  ::setenv("TMPDIR", file("missing").c_str(), 1);
  EXPECT_EQ(makeTempFilePath(8, 3).rfind("/tmp/", 0), 0u);
}

TEST_F(JobTest, CopyFileContentsCopiesEmptyAndLargeFiles) {
  test::writeFile(file("empty"), "");
  EXPECT_TRUE(copyFileContents(file("empty"), file("empty.copy"), false));
  EXPECT_EQ(test::readFile(file("empty.copy")), "");

  const std::string data = test::patternBytes((3u << 20) + 11);
  test::writeFile(file("big"), data);
  EXPECT_TRUE(copyFileContents(file("big"), file("big.copy"), false));
  EXPECT_EQ(test::readFile(file("big.copy")), data);
  struct stat st;
  ASSERT_EQ(::stat(file("big.copy").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(JobTest, CopyFileContentsRefusesWithoutLeavingAnything) {
  test::writeFile(file("src"), "source");
  test::writeFile(file("dst"), "keep me");
  EXPECT_FALSE(copyFileContents(file("src"), file("dst"), false));
  EXPECT_EQ(test::readFile(file("dst")), "keep me");
  EXPECT_FALSE(copyFileContents(file("missing"), file("new"), true));
  EXPECT_FALSE(copyFileContents(files(), file("new"), true));
  EXPECT_FALSE(copyFileContents(file("src"), file("nodir/new"), false));
  EXPECT_FALSE(copyFileContents(file("src"), files(), true));
  expectNoStrayFiles({"src", "dst"});
}

TEST_F(JobTest, CopyFileContentsRecognisesOneFileUnderTwoSpellings) {
  test::writeFile(file("src"), "source");
  EXPECT_TRUE(copyFileContents(file("src"), files() + "/./src", true));
  EXPECT_TRUE(copyFileContents(file("src"), files() + "//src", false));
  EXPECT_EQ(test::readFile(file("src")), "source");
  // Different names are different files, whatever their case or spaces.
  EXPECT_TRUE(copyFileContents(file("src"), file("SRC"), false));
  EXPECT_TRUE(copyFileContents(file("src"), file(" src"), false));
  EXPECT_EQ(test::readFile(file("SRC")), "source");
  EXPECT_EQ(test::readFile(file(" src")), "source");
}

TEST_F(JobTest, CopyFileContentsWithOverwriteReplacesAndKeepsTheMode) {
  test::writeFile(file("src"), "new bytes");
  test::writeFile(file("dst"), "old bytes, longer");
  ASSERT_EQ(::chmod(file("dst").c_str(), 0640), 0);
  EXPECT_TRUE(copyFileContents(file("src"), file("dst"), true));
  EXPECT_EQ(test::readFile(file("dst")), "new bytes");
  struct stat st;
  ASSERT_EQ(::stat(file("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  expectNoStrayFiles({"src", "dst"});
}

TEST_F(JobTest, CopyFileContentsRemovesAPartialCopy) {
  test::writeFile(file("src"), test::patternBytes(256 << 10));
  const int status = test::runInChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 << 10, 64 << 10};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    return copyFileContents(file("src"), file("dst"), false) ? 1 : 0;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  expectNoStrayFiles({"src"});
}

}  // namespace
}  // namespace talvek
