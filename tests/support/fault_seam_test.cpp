// The fault seam: it counts and faults the calls it is armed for, from the
// project's libraries and from libsqlite3 alike, and passes everything else.
#include "fault_seam.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "platform/atomic_file.h"
#include "temp_dir.h"

namespace talvek::test {
namespace {

class FaultSeamTest : public ::testing::Test {
 protected:
  int openScratch() { return ::open(temp_.file("f").c_str(), O_RDWR | O_CREAT, 0600); }

  TempDir temp_;
};

TEST_F(FaultSeamTest, FailsOnlyTheNthCall) {
  const int fd = openScratch();
  ASSERT_GE(fd, 0);
  {
    FaultPlan plan;
    plan.failAt(SysCall::Fsync, 2, EIO);
    EXPECT_EQ(::fsync(fd), 0);
    errno = 0;
    EXPECT_EQ(::fsync(fd), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::fsync(fd), 0);
    EXPECT_EQ(plan.calls(SysCall::Fsync), 3);
    EXPECT_TRUE(plan.fired(SysCall::Fsync));
    EXPECT_FALSE(plan.fired(SysCall::Close));
    EXPECT_EQ(plan.summary(), "fsync 3");
  }
  // Disarmed with the plan: everything passes again.
  EXPECT_EQ(::fsync(fd), 0);
  EXPECT_EQ(::close(fd), 0);
}

TEST_F(FaultSeamTest, ShortensAndEmptiesTransfers) {
  const int fd = openScratch();
  ASSERT_GE(fd, 0);
  const std::string data(5000, 'x');
  char back[5000];
  {
    FaultPlan plan;
    plan.limitBytes(SysCall::Pwrite, 1000).returnZeroAt(SysCall::Pread, 2);
    EXPECT_EQ(::pwrite(fd, data.data(), data.size(), 0), 1000);
    EXPECT_EQ(::pwrite64(fd, data.data(), 300, 1000), 300);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 1300);
    EXPECT_EQ(::pread64(fd, back, sizeof back, 0), 0);
    EXPECT_EQ(plan.calls(SysCall::Pwrite), 2);
  }
  {
    // A fault armed over a limit acts on the call it names.
    FaultPlan plan;
    plan.limitBytes(SysCall::Pread, 100)
        .returnZeroAt(SysCall::Pread, 2)
        .failAt(SysCall::Pread, 3, EIO);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 100);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 0);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), -1);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 100);
  }
  EXPECT_EQ(::close(fd), 0);
}

TEST_F(FaultSeamTest, FailFromKeepsFailing) {
  FaultPlan plan;
  plan.failFrom(SysCall::Openat, 2, EMFILE);
  const int first = ::openat(AT_FDCWD, temp_.file("a").c_str(), O_RDWR | O_CREAT, 0600);
  EXPECT_GE(first, 0);
  for (int i = 0; i < 3; ++i) {
    errno = 0;
    EXPECT_EQ(::openat(AT_FDCWD, temp_.file("a").c_str(), O_RDONLY), -1);
    EXPECT_EQ(errno, EMFILE);
  }
  // A failing close still releases the descriptor.
  plan.failAt(SysCall::Close, 1, EIO);
  EXPECT_EQ(::close(first), -1);
  EXPECT_EQ(::fcntl(first, F_GETFD), -1);
}

TEST_F(FaultSeamTest, LeavesOtherThreadsAloneUnlessAsked) {
  const int fd = openScratch();
  ASSERT_GE(fd, 0);
  int result = 0;
  {
    FaultPlan plan;
    plan.failFrom(SysCall::Fdatasync, 1, EIO);
    std::thread([&] { result = ::fdatasync(fd); }).join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(plan.calls(SysCall::Fdatasync), 0);
    plan.onEveryThread();
    std::thread([&] { result = ::fdatasync(fd); }).join();
    EXPECT_EQ(result, -1);
  }
  EXPECT_EQ(::close(fd), 0);
}

TEST_F(FaultSeamTest, ReachesTheProjectsLibraries) {
  writeFile(temp_.file("target"), "old");
  FaultPlan plan;
  plan.failAt(SysCall::Fsync, 1, EIO);
  AtomicFile file;
  ASSERT_TRUE(file.open(temp_.file("target")).ok());
  ASSERT_TRUE(file.write("new", 3).ok());
  EXPECT_EQ(file.commit().error(), EIO);
  EXPECT_TRUE(plan.fired(SysCall::Fsync));
  EXPECT_EQ(readFile(temp_.file("target")), "old");
}

TEST_F(FaultSeamTest, ReachesSqlite) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(temp_.file("db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
  {
    FaultPlan plan;
    plan.failFrom(SysCall::Pwrite, 1, ENOSPC);
    EXPECT_NE(sqlite3_exec(db, "INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_GT(plan.calls(SysCall::Open), 0);
    EXPECT_TRUE(plan.fired(SysCall::Pwrite)) << plan.summary();
  }
  EXPECT_EQ(sqlite3_exec(db, "INSERT INTO t VALUES(2)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace
}  // namespace talvek::test
