#include "job/wipe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job_test_support.h"

namespace talvek {
namespace {

using test::JobTest;

// A second name for the file lets the test see what the wipe wrote into the
// file's own blocks after the first name is gone.
void linkWitness(const std::string& path, const std::string& witness) {
  ASSERT_EQ(::link(path.c_str(), witness.c_str()), 0);
}

TEST_F(JobTest, WipeOverwritesInPlaceWithZerosAndRemoves) {
  const std::string data = test::patternBytes((1u << 20) + 3);
  test::writeFile(file("secret"), data);
  ASSERT_EQ(::chmod(file("secret").c_str(), 0400), 0);
  linkWitness(file("secret"), file("witness"));
  EXPECT_TRUE(wipeFile(file("secret"), 1));
  EXPECT_FALSE(test::pathExists(file("secret")));
  EXPECT_EQ(test::readFile(file("witness")), std::string(data.size(), '\0'));
}

TEST_F(JobTest, WipeWithSeveralPassesKeepsTheLength) {
  test::writeFile(file("secret"), "plain text");
  linkWitness(file("secret"), file("witness"));
  EXPECT_TRUE(wipeFile(file("secret"), 3));
  EXPECT_EQ(test::readFile(file("witness")), std::string(10, '\0'));
}

TEST_F(JobTest, WipeWithoutPassesOrContentOnlyRemoves) {
  test::writeFile(file("secret"), "plain text");
  linkWitness(file("secret"), file("witness"));
  EXPECT_TRUE(wipeFile(file("secret"), 0));
  EXPECT_FALSE(test::pathExists(file("secret")));
  EXPECT_EQ(test::readFile(file("witness")), "plain text");

  test::writeFile(file("empty"), "");
  EXPECT_TRUE(wipeFile(file("empty"), 1));
  EXPECT_FALSE(test::pathExists(file("empty")));
}

TEST_F(JobTest, WipeLeavesWhatIsNotARegularFileAlone) {
  EXPECT_TRUE(wipeFile(file("missing"), 1));
  EXPECT_FALSE(test::pathExists(file("missing")));
  ASSERT_EQ(::mkdir(file("dir").c_str(), 0755), 0);
  EXPECT_TRUE(wipeFile(file("dir"), 1));
  EXPECT_TRUE(test::pathExists(file("dir")));
  test::writeFile(file("target"), "not mine");
  ASSERT_EQ(::symlink("target", file("link").c_str()), 0);
  EXPECT_TRUE(wipeFile(file("link"), 1));
  EXPECT_EQ(test::readFile(file("target")), "not mine");
  EXPECT_TRUE(test::pathExists(file("link")));
}

TEST_F(JobTest, WipeReportsAFailedRemoval) {
  test::writeFile(file("secret"), "plain");
  linkWitness(file("secret"), file("witness"));
  // Nobody may remove entries of a directory without write permission.
  ASSERT_EQ(::chmod(root_.path().c_str(), 0755), 0);
  const int status = test::runInChild([&] {
    if (::chown(file("secret").c_str(), test::kNobody, test::kNobody) != 0 ||
        !test::becomeNobody()) {
      return 3;
    }
    return wipeFile(file("secret"), 1) ? 1 : 0;
  });
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot switch to an unprivileged user";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(test::pathExists(file("secret")));
  EXPECT_EQ(test::readFile(file("witness")), std::string(5, '\0'));
}

}  // namespace
}  // namespace talvek
