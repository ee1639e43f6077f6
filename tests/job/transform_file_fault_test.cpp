// Failures the job must survive without losing data: writes that fail
// part-way, directories it may not write, and being killed mid-job.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "job/transform_file.h"
#include "job_test_support.h"

namespace talvek {
namespace {

using test::kNobody;

using test::JobTest;

constexpr char kKey[] = "fault key";
// Not a multiple of the job's buffer, so the write that meets the limit is
// a partial one.
constexpr rlim_t kLimit = (1 << 20) + 4099;

bool limitFileSize(rlim_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);  // writes past the limit then fail with EFBIG
  const rlimit limit{bytes, bytes};
  return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// Runs the job in a child whose files may grow to kLimit bytes once it has
// written its first buffer (after any backup copy is made); exit code: failure
// value, plus 100 when a copy was kept.
int jobWithWritesFailingPartWay(const std::string& source, const std::string& destination) {
  const int status = test::runInChild([&] {
    bool limited = false;
    JobReport report;
    const bool ok = transformFile(source, destination, kKey, true, true, &report,
                                  [&limited](uint64_t done, uint64_t) {
                                    if (!limited && done > 0) limited = limitFileSize(kLimit);
                                    return true;
                                  });
    if (!limited) return 99;
    if (ok) return 98;
    // Why: the limit, on the destination as the caller named it.
    if (report.why.code() != EFBIG || report.path != destination) return 97;
    return static_cast<int>(report.failure) + (report.keptCopy.empty() ? 0 : 100);
  });
  EXPECT_TRUE(WIFEXITED(status));
  return WEXITSTATUS(status);
}

TEST_F(JobTest, AWriteFailingPartWayKeepsEveryOldByte) {
  const std::string data = test::patternBytes(4 * kLimit);
  const std::string old = test::patternBytes(3000, 5);
  const int writeFailed = static_cast<int>(JobFailure::WriteFailed);
  test::writeFile(file("src"), data);

  EXPECT_EQ(jobWithWritesFailingPartWay(file("src"), file("new")), writeFailed);
  expectNoStrayFiles({"src"});

  test::writeFile(file("dst"), old);
  EXPECT_EQ(jobWithWritesFailingPartWay(file("src"), file("dst")), writeFailed);
  EXPECT_TRUE(test::readFile(file("dst")) == old);

  EXPECT_EQ(jobWithWritesFailingPartWay(file("src"), file("src")), writeFailed);
  EXPECT_TRUE(test::readFile(file("src")) == data);
  expectNoStrayFiles({"src", "dst"});

  // Several names: written in place, and put back from a copy on failure.
  ASSERT_EQ(::link(file("dst").c_str(), file("dst2").c_str()), 0);
  EXPECT_EQ(jobWithWritesFailingPartWay(file("src"), file("dst")), writeFailed);
  EXPECT_TRUE(test::readFile(file("dst")) == old);
  EXPECT_TRUE(test::readFile(file("dst2")) == old);
  expectNoStrayFiles({"src", "dst", "dst2"});
}

TEST_F(JobTest, KeepsTheOldBytesWhenTheSourceCannotBePutBack) {
  // The limit stops writes at any offset past it, so putting the source's
  // bytes back in place fails just as the transform did. The journal then
  // becomes a plain copy of them, named after the file.
  const std::string data = test::patternBytes(3 * kLimit);
  test::writeFile(file("src"), data);
  ASSERT_EQ(::link(file("src").c_str(), file("src2").c_str()), 0);
  EXPECT_EQ(jobWithWritesFailingPartWay(file("src"), file("src")),
            static_cast<int>(JobFailure::WriteFailed) + 100);
  const std::set<std::string> kept = test::entries(journals());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept.begin()->rfind("src.old-", 0), 0u) << *kept.begin();
  EXPECT_TRUE(test::readFile(journals() + "/" + *kept.begin()) == data);
  EXPECT_EQ(test::entries(files()), (std::set<std::string>{"src", "src2"}));
  EXPECT_EQ(test::entries(tmp()), std::set<std::string>{});
}

TEST_F(JobTest, NeedsNoRoomElsewhereUnlessItWritesInPlace) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  const std::string data = test::patternBytes(4 * kLimit);
  test::writeFile(file("src"), data);
  test::writeFile(file("dst"), "old");
  ASSERT_EQ(::link(file("dst").c_str(), file("dst2").c_str()), 0);
  // The job runs as nobody, for whom the temporary directory and the state
  // directory (root's, 0700) take nothing.
  ASSERT_EQ(::chmod(root_.path().c_str(), 0755), 0);
  for (const std::string& path : {files(), file("src"), file("dst")}) {
    ASSERT_EQ(::chown(path.c_str(), test::kNobody, test::kNobody), 0);
  }
  const int status = test::runInChild([&] {
    if (!test::becomeNobody()) return 90;
    JobReport report;
    if (!transformFile(file("src"), file("new"), kKey, true, true, &report)) return 91;
    if (!transformFile(file("new"), file("new"), kKey, false, true, &report)) return 92;
    // Several names: written in place, which needs a journal that cannot be made.
    if (transformFile(file("src"), file("dst"), kKey, true, true, &report)) return 93;
    if (report.path != root_.file("state/Brellam") || report.why.code() != EACCES) return 94;
    return static_cast<int>(report.failure);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(JobFailure::WorkingCopy));
  EXPECT_TRUE(test::readFile(file("new")) == data);
  EXPECT_EQ(test::readFile(file("dst")), "old");
  expectNoStrayFiles({"src", "dst", "dst2", "new"});

  // A journal that fails part-way is removed.
  ASSERT_EQ(::link(file("src").c_str(), file("src2").c_str()), 0);
  const int limited = test::runInChild([&] {
    if (!limitFileSize(kLimit)) return 99;
    JobReport report;
    if (transformFile(file("src"), file("src"), kKey, true, true, &report)) return 98;
    return static_cast<int>(report.failure) + (report.why.code() == EFBIG ? 0 : 50);
  });
  ASSERT_TRUE(WIFEXITED(limited));
  EXPECT_EQ(WEXITSTATUS(limited), static_cast<int>(JobFailure::WorkingCopy));
  EXPECT_TRUE(test::readFile(file("src")) == data);
  expectNoStrayFiles({"src", "src2", "dst", "dst2", "new"});
}

// Root ignores permission bits, so these run the job as the unprivileged
// user 65534 in a child.
class UnwritableDirectoryTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    ASSERT_EQ(::chmod(root_.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(files().c_str(), 0755), 0);  // root's, not writable by the job
    ASSERT_EQ(::chown(tmp().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(root_.file("state").c_str(), kNobody, kNobody), 0);
  }
  void giveAway(const std::string& path, mode_t mode) {
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
  }
  // Exit code: 0 success, else the failure value; 90 when the switch failed.
  int runAsNobody(const std::string& source, const std::string& destination, bool encode) {
    const int status = test::runInChild([&] {
      if (!test::becomeNobody()) return 90;
      JobReport report;
      transformFile(source, destination, kKey, encode, true, &report);
      return static_cast<int>(report.failure);
    });
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status);
  }
};

TEST_F(UnwritableDirectoryTest, WritesInPlaceWhereItCannotRename) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  const std::string data = test::patternBytes(300000);
  test::writeFile(file("src"), data);
  test::writeFile(file("dst"), std::string(400000, 'o'));
  giveAway(file("dst"), 0644);
  ASSERT_EQ(runAsNobody(file("src"), file("dst"), true), 0);
  EXPECT_TRUE(test::readFile(file("dst")) == test::expectedTransform(data, kKey, true));

  // The destination is the source: the journal's copy is what is read.
  ASSERT_EQ(runAsNobody(file("dst"), file("dst"), false), 0);
  EXPECT_TRUE(test::readFile(file("dst")) == data);

  // A write-protected file of the user's own is replaced as agreed: made
  // writable through its descriptor, as the user could have.
  giveAway(file("dst"), 0444);
  ASSERT_EQ(runAsNobody(file("src"), file("dst"), true), 0);
  EXPECT_TRUE(test::readFile(file("dst")) == test::expectedTransform(data, kKey, true));
  struct stat st;
  ASSERT_EQ(::stat(file("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // Someone else's that nobody may write stays as it is, with its mode, and
  // no new file can be made.
  ASSERT_EQ(::chown(file("dst").c_str(), 0, 0), 0);
  ASSERT_EQ(::chmod(file("dst").c_str(), 0444), 0);
  EXPECT_EQ(runAsNobody(file("src"), file("dst"), true), static_cast<int>(JobFailure::WriteFailed));
  EXPECT_TRUE(test::readFile(file("dst")) == test::expectedTransform(data, kKey, true));
  ASSERT_EQ(::stat(file("dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(runAsNobody(file("src"), file("new"), true),
            static_cast<int>(JobFailure::DestinationInvalid));
  expectNoStrayFiles({"src", "dst"});
}

TEST_F(UnwritableDirectoryTest, KeepsTheOwnerOfSomeoneElsesFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  const std::string data = test::patternBytes(200000);
  test::writeFile(file("src"), data);
  ASSERT_EQ(::mkdir(file("shared").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(file("shared").c_str(), 0777), 0);
  test::writeFile(file("shared/dst"), "root's old bytes");
  ASSERT_EQ(::chmod(file("shared/dst").c_str(), 0666), 0);
  ASSERT_EQ(runAsNobody(file("src"), file("shared/dst"), true), 0);
  EXPECT_TRUE(test::readFile(file("shared/dst")) == test::expectedTransform(data, kKey, true));
  struct stat st;
  ASSERT_EQ(::stat(file("shared/dst").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(test::entries(file("shared")), std::set<std::string>{"dst"});
  EXPECT_EQ(test::entries(tmp()), std::set<std::string>{});
}

// Kills the job at its first progress report at or after `at` bytes and
// checks that the source and the destination hold either their old bytes or
// the complete result, and that nothing is left: the result has no name
// until it is complete.
void killMidJob(const std::string& dir, const std::string& source, const std::string& destination,
                uint64_t at, const std::string& oldSource, const std::string& encoded,
                const std::string& oldDestination) {
  SCOPED_TRACE(at);
  const int status = test::runInChild([&] {
    transformFile(source, destination, kKey, true, true, nullptr, [at](uint64_t done, uint64_t) {
      if (done >= at) ::raise(SIGKILL);
      return true;
    });
    return 0;
  });
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  const std::string nowSource = test::readFile(source);
  const std::string nowDestination = test::readFile(destination);
  EXPECT_TRUE(nowSource == oldSource || (source == destination && nowSource == encoded));
  EXPECT_TRUE(nowDestination == oldDestination || nowDestination == encoded);
  EXPECT_EQ(test::entries(dir + "/../tmp"), std::set<std::string>{});
  for (const std::string& name : test::entries(dir)) EXPECT_NE(name[0], '.') << name;
}

TEST_F(JobTest, AKilledJobLeavesOldBytesOrTheWholeResult) {
  const std::string data = test::patternBytes(9u << 20);
  const std::string encoded = test::expectedTransform(data, kKey, true);
  const std::string old = test::patternBytes(1000, 3);
  test::writeFile(file("src"), data);
  for (uint64_t at : {uint64_t{0}, uint64_t{8} << 20, uint64_t{9} << 20}) {
    test::writeFile(file("dst"), old);
    killMidJob(files(), file("src"), file("dst"), at, data, encoded, old);
    killMidJob(files(), file("src"), file("src"), at, data, encoded, data);
    test::writeFile(file("src"), data);
  }
  expectNoStrayFiles({"src", "dst"});
}

}  // namespace
}  // namespace talvek
