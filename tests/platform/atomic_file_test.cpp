#include "platform/atomic_file.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "child_process.h"
#include "temp_dir.h"

namespace talvek {
namespace {

using test::entries;

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(AtomicFile, ReplacesContentAndKeepsTheTargetsMode) {
  test::TempDir dir;
  const std::string target = dir.file("target");
  test::writeFile(target, "old content that is longer");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

  AtomicFile file;
  ASSERT_TRUE(file.open(target));
  // Nothing is visible at the target until the commit.
  EXPECT_TRUE(file.write("new", 3));
  EXPECT_EQ(test::readFile(target), "old content that is longer");
  EXPECT_EQ(modeOf(file.temporaryPath()), 0600u);
  ASSERT_TRUE(file.commit());
  EXPECT_EQ(test::readFile(target), "new");
  EXPECT_EQ(modeOf(target), 0640u);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
}

TEST(AtomicFile, NewTargetGetsTheRequestedModeLessTheUmask) {
  test::TempDir dir;
  const mode_t old = ::umask(027);
  AtomicFile file;
  ASSERT_TRUE(file.open(dir.file("new"), 0666));
  ASSERT_TRUE(file.write("abc", 3));
  ASSERT_TRUE(file.commit());
  ::umask(old);
  EXPECT_EQ(test::readFile(dir.file("new")), "abc");
  EXPECT_EQ(modeOf(dir.file("new")), 0640u);

  AtomicFile secret;
  ASSERT_TRUE(secret.open(dir.file("new"), 0600, /*keepTargetMode=*/false));
  ASSERT_TRUE(secret.commit());
  EXPECT_EQ(modeOf(dir.file("new")), 0600u);
  EXPECT_EQ(test::readFile(dir.file("new")), "");
}

TEST(AtomicFile, ALinkedTargetHasItsTargetReplaced) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0755), 0);
  test::writeFile(dir.file("real/file"), "old");
  ASSERT_EQ(::symlink("real/file", dir.file("link").c_str()), 0);

  AtomicFile file;
  ASSERT_TRUE(file.open(dir.file("link")));
  EXPECT_EQ(file.targetPath(), dir.path() + "/real/file");
  ASSERT_TRUE(file.write("new", 3));
  ASSERT_TRUE(file.commit());
  struct stat st;
  ASSERT_EQ(::lstat(dir.file("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(test::readFile(dir.file("real/file")), "new");
  EXPECT_EQ(entries(dir.file("real")), std::set<std::string>{"file"});
}

TEST(AtomicFile, AbandonedOrDroppedFilesLeaveNothing) {
  test::TempDir dir;
  test::writeFile(dir.file("target"), "old");
  {
    AtomicFile file;
    ASSERT_TRUE(file.open(dir.file("target")));
    ASSERT_TRUE(file.write("new", 3));
    file.abandon();
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.commit());
  }
  {
    AtomicFile file;
    ASSERT_TRUE(file.open(dir.file("target")));
    ASSERT_TRUE(file.write("new", 3));
  }
  EXPECT_EQ(test::readFile(dir.file("target")), "old");
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
}

TEST(AtomicFile, RefusesWhatCannotBeReplaced) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
  AtomicFile file;
  EXPECT_FALSE(file.open(dir.file("sub")));
  EXPECT_EQ(file.error(), EISDIR);
  EXPECT_FALSE(file.open(dir.file("missing/file")));
  EXPECT_EQ(file.error(), ENOENT);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"sub"});
}

TEST(AtomicFile, RefusesATargetThisProcessMayNotWrite) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  test::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  test::writeFile(dir.file("target"), "read only");
  ASSERT_EQ(::chmod(dir.file("target").c_str(), 0444), 0);
  ASSERT_EQ(::chown(dir.file("target").c_str(), test::kNobody, test::kNobody), 0);
  const int status = test::runInChild([&] {
    if (!test::becomeNobody()) return 90;
    AtomicFile file;
    return file.open(dir.file("target")) ? 1 : (file.error() == EACCES ? 0 : 2);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::readFile(dir.file("target")), "read only");
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
}

}  // namespace
}  // namespace talvek
