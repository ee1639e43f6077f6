#include "platform/file_status.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "child_process.h"
#include "temp_dir.h"

namespace talvek {
namespace {

TEST(FileStatus, RegularFileFollowsLinksAndRejectsTheRest) {
  test::TempDir dir;
  test::writeFile(dir.file("file"), "x");
  ASSERT_EQ(::symlink("file", dir.file("link").c_str()), 0);
  ASSERT_EQ(::symlink("missing", dir.file("dangling").c_str()), 0);
  EXPECT_TRUE(isRegularFile(dir.file("file")));
  EXPECT_TRUE(isRegularFile(dir.file("link")));
  EXPECT_FALSE(isRegularFile(dir.file("dangling")));
  EXPECT_FALSE(isRegularFile(dir.path()));
  EXPECT_FALSE(isRegularFile(dir.file("missing")));
  EXPECT_FALSE(isRegularFile(""));
}

TEST(FileStatus, SameFileComparesIdentityNotSpelling) {
  test::TempDir dir;
  test::writeFile(dir.file("a"), "x");
  test::writeFile(dir.file("b"), "x");
  ASSERT_EQ(::link(dir.file("a").c_str(), dir.file("hard").c_str()), 0);
  EXPECT_TRUE(sameFile(dir.file("a"), dir.path() + "/./a"));
  EXPECT_TRUE(sameFile(dir.file("a"), dir.path() + "//a"));
  EXPECT_TRUE(sameFile(dir.file("a"), dir.file("hard")));
  EXPECT_FALSE(sameFile(dir.file("a"), dir.file("b")));
  EXPECT_FALSE(sameFile(dir.file("a"), dir.file("missing")));
  EXPECT_FALSE(sameFile(dir.file("missing"), dir.file("missing")));
  // Names are case-sensitive and spaces are part of them.
  EXPECT_FALSE(sameFile(dir.file("a"), dir.file("A")));
  EXPECT_FALSE(sameFile(dir.file("a"), dir.file(" a")));
}

TEST(FileStatus, ParentDirectory) {
  EXPECT_EQ(parentDirectory("name"), ".");
  EXPECT_EQ(parentDirectory("/name"), "/");
  EXPECT_EQ(parentDirectory("dir/sub/name"), "dir/sub");
  EXPECT_EQ(parentDirectory("/abs/name"), "/abs");
}

TEST(FileStatus, ResolveFinalLinkFollowsChainsToTheirEnd) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
  test::writeFile(dir.file("sub/file"), "x");
  ASSERT_EQ(::symlink("sub/file", dir.file("rel").c_str()), 0);
  ASSERT_EQ(::symlink(dir.file("rel").c_str(), dir.file("abs").c_str()), 0);
  ASSERT_EQ(::symlink("sub/new", dir.file("dangling").c_str()), 0);
  ASSERT_EQ(::symlink("loop", dir.file("loop").c_str()), 0);

  std::string target;
  ASSERT_TRUE(resolveFinalLink(dir.file("abs"), &target));
  EXPECT_EQ(target, dir.path() + "/sub/file");
  ASSERT_TRUE(resolveFinalLink(dir.file("dangling"), &target));
  EXPECT_EQ(target, dir.path() + "/sub/new");
  ASSERT_TRUE(resolveFinalLink(dir.file("sub/file"), &target));
  EXPECT_EQ(target, dir.file("sub/file"));
  ASSERT_TRUE(resolveFinalLink(dir.file("missing"), &target));
  EXPECT_EQ(target, dir.file("missing"));
  EXPECT_FALSE(resolveFinalLink(dir.file("loop"), &target));
}

TEST(FileStatus, ResolveFinalLinkRefusesWhatTheKernelWouldNotFollow) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to own links as another user";
  test::TempDir dir;
  // A sticky, world-writable directory of root's, such as /tmp.
  ASSERT_EQ(::mkdir(dir.file("shared").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir.file("shared").c_str(), 01777), 0);
  test::writeFile(dir.file("secret"), "x");
  const std::string link = dir.file("shared/link");
  ASSERT_EQ(::symlink(dir.file("secret").c_str(), link.c_str()), 0);

  std::string target;
  // Root's own link in root's directory, then the same link planted by nobody.
  ASSERT_TRUE(resolveFinalLink(link, &target));
  EXPECT_EQ(target, dir.file("secret"));
  ASSERT_EQ(::lchown(link.c_str(), test::kNobody, test::kNobody), 0);
  errno = 0;
  EXPECT_FALSE(resolveFinalLink(link, &target));
  EXPECT_EQ(errno, EACCES);
  // Not sticky, or not writable by all: followed.
  ASSERT_EQ(::chmod(dir.file("shared").c_str(), 0777), 0);
  EXPECT_TRUE(resolveFinalLink(link, &target));
  ASSERT_EQ(::chmod(dir.file("shared").c_str(), 01775), 0);
  EXPECT_TRUE(resolveFinalLink(link, &target));
  // The directory's owner may plant links for others.
  ASSERT_EQ(::chmod(dir.file("shared").c_str(), 01777), 0);
  ASSERT_EQ(::chown(dir.file("shared").c_str(), test::kNobody, test::kNobody), 0);
  EXPECT_TRUE(resolveFinalLink(link, &target));
}

}  // namespace
}  // namespace talvek
