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
  ASSERT_TRUE(file.open(target).ok());
  // Nothing is visible until the commit: the new file has no name at all.
  EXPECT_TRUE(file.write("new", 3).ok());
  EXPECT_EQ(test::readFile(target), "old content that is longer");
  EXPECT_EQ(file.temporaryPath(), "");
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
  ASSERT_TRUE(file.commit().ok());
  EXPECT_EQ(test::readFile(target), "new");
  EXPECT_EQ(modeOf(target), 0640u);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
}

TEST(AtomicFile, NewTargetGetsTheRequestedModeLessTheUmask) {
  test::TempDir dir;
  const mode_t old = ::umask(027);
  AtomicFile file;
  ASSERT_TRUE(file.open(dir.file("new"), AtomicFile::Options{}).ok());
  ASSERT_TRUE(file.write("abc", 3).ok());
  ASSERT_TRUE(file.commit().ok());
  ::umask(old);
  EXPECT_EQ(test::readFile(dir.file("new")), "abc");
  EXPECT_EQ(modeOf(dir.file("new")), 0640u);

  AtomicFile::Options options;
  options.newFileMode = 0600;
  options.keepTargetMetadata = false;
  AtomicFile secret;
  ASSERT_TRUE(secret.open(dir.file("new"), options).ok());
  ASSERT_TRUE(secret.commit().ok());
  EXPECT_EQ(modeOf(dir.file("new")), 0600u);
  EXPECT_EQ(test::readFile(dir.file("new")), "");
}

TEST(AtomicFile, ALinkedTargetHasItsTargetReplaced) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0755), 0);
  test::writeFile(dir.file("real/file"), "old");
  ASSERT_EQ(::symlink("real/file", dir.file("link").c_str()), 0);

  AtomicFile file;
  ASSERT_TRUE(file.open(dir.file("link")).ok());
  EXPECT_EQ(file.target().resolvedPath(), dir.path() + "/real/file");
  ASSERT_TRUE(file.write("new", 3).ok());
  ASSERT_TRUE(file.commit().ok());
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
    ASSERT_TRUE(file.open(dir.file("target")).ok());
    ASSERT_TRUE(file.write("new", 3).ok());
    file.abandon();
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.commit().ok());
  }
  {
    AtomicFile file;
    ASSERT_TRUE(file.open(dir.file("target")).ok());
    ASSERT_TRUE(file.write("new", 3).ok());
  }
  EXPECT_EQ(test::readFile(dir.file("target")), "old");
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
}

TEST(AtomicFile, RefusesWhatCannotBeReplaced) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0755), 0);
  AtomicFile file;
  EXPECT_EQ(file.open(dir.file("sub")).code(), EISDIR);
  EXPECT_EQ(file.open(dir.file("missing/file")).code(), ENOENT);
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
    const Status opened = file.open(dir.file("target"));
    return opened.ok() ? 1 : (opened.code() == EACCES ? 0 : 2);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::readFile(dir.file("target")), "read only");
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
}

TEST(AtomicFile, ReplacesAWriteProtectedFileOfItsOwnOnlyWhenAllowed) {
  test::TempDir dir;
  const std::string target = dir.file("target");
  test::writeFile(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
  const int status = test::runInChild([&] {
    // As an owner without root's privileges, who must not write it as is.
    if (::geteuid() == 0 && (::chown(dir.path().c_str(), test::kNobody, test::kNobody) != 0 ||
                             ::chown(target.c_str(), test::kNobody, test::kNobody) != 0 ||
                             !test::becomeNobody())) {
      return 90;
    }
    AtomicFile refused;
    if (refused.open(target).code() != EACCES) return 1;
    AtomicFile::Options options;
    options.replaceWriteProtected = true;
    AtomicFile file;
    if (!file.open(target, options).ok() || !file.write("new", 3).ok() || !file.commit().ok()) {
      return 2;
    }
    return 0;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::readFile(target), "new");
  // As if it had been made writable first; the old file's mode was never
  // touched (it is gone, replaced whole).
  EXPECT_EQ(modeOf(target), 0644u);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"target"});
}

TEST(AtomicFile, ReplacesOnlyTheFileItFoundWhenAskedTo) {
  // What may stand at the name by the time of the commit.
  struct Case {
    const char* name;
    bool existed;
    void (*meanwhile)(const std::string& target);
    bool committed;
  };
  const Case cases[] = {
      {"nothing, still nothing", false, [](const std::string&) {}, true},
      {"nothing, then a file", false,
       [](const std::string& target) { test::writeFile(target, "theirs"); }, false},
      {"a file, still that file", true, [](const std::string&) {}, true},
      {"a file, then another", true,
       [](const std::string& target) {
         test::writeFile(target + ".x", "theirs");
         ::rename((target + ".x").c_str(), target.c_str());
       },
       false},
      {"a file, then nothing", true, [](const std::string& target) { ::unlink(target.c_str()); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string target = dir.file("target");
    if (c.existed) test::writeFile(target, "old");
    AtomicFile::Options options;
    options.onlyTheFileChecked = true;
    AtomicFile file;
    ASSERT_TRUE(file.open(target, options).ok());
    ASSERT_TRUE(file.write("new", 3).ok());
    c.meanwhile(target);
    const std::string before = test::pathExists(target) ? test::readFile(target) : "";
    const Status committed = file.commit();
    EXPECT_EQ(committed.ok(), c.committed) << committed.toString();
    if (c.committed) {
      EXPECT_EQ(test::readFile(target), "new");
    } else {
      EXPECT_EQ(committed.code(), EEXIST);
      EXPECT_EQ(test::pathExists(target) ? test::readFile(target) : "", before);
    }
    const std::set<std::string> left = entries(dir.path());
    EXPECT_TRUE(left.empty() || left == std::set<std::string>{"target"});
  }
}

TEST(AtomicFile, TellsItsHiddenFilesByTheirNames) {
  for (const auto& [name, ours] : std::vector<std::pair<std::string, bool>>{
           {".report.doc.tc.Xy12ab", true}, {".a.000000", true}, {"report.Xy12ab", false},
           {"..Xy12ab", false}, {".a.Xy1-ab", false}, {".a.Xy12a", false}, {".bashrc", false}}) {
    EXPECT_EQ(isAtomicFileTemporaryName(name), ours) << name;
  }
}

}  // namespace
}  // namespace talvek
