#include "job/destination.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "fault_seam.h"
#include "job_test_support.h"

namespace talvek {
namespace {

using test::JobTest;

TEST_F(JobTest, ProbeFindsAnExistingFileWithoutTouchingIt) {
  test::writeFile(file("there"), "content");
  ASSERT_EQ(::chmod(file("there").c_str(), 0444), 0);
  ASSERT_EQ(::symlink("there", file("link").c_str()), 0);
  EXPECT_EQ(probeDestination(file("there")), DestinationState::Exists);
  EXPECT_EQ(probeDestination(file("link")), DestinationState::Exists);
  EXPECT_EQ(test::readFile(file("there")), "content");
}

TEST_F(JobTest, ProbeOfAFreeNameLeavesNothingBehind) {
  EXPECT_EQ(probeDestination(file("new.tc")), DestinationState::Creatable);
  ASSERT_EQ(::symlink("target", file("dangling").c_str()), 0);
  EXPECT_EQ(probeDestination(file("dangling")), DestinationState::Creatable);
  expectNoStrayFiles({"dangling"});
}

TEST_F(JobTest, ProbeInterruptedByASignalLeavesNothingBehind) {
  // Where the file system has no unnamed files, the probe makes a file at
  // the name. The signal comes between creating it and removing it; the
  // process ends by it, but only once the file is gone.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const int status = test::runInChild([&] {
      ::signal(signal, SIG_DFL);
      test::FaultPlan plan;
      plan.failAt(test::SysCall::Openat, 1, EOPNOTSUPP);
      plan.runBefore(test::SysCall::Unlink, 1, [signal] { ::raise(signal); });
      return probeDestination(file("new.tc")) == DestinationState::Creatable ? 0 : 1;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    expectNoStrayFiles({});
  }
}

TEST_F(JobTest, ProbeRefusesWhatCannotBeAFile) {
  EXPECT_EQ(probeDestination(file("missing/new.tc")), DestinationState::NotCreatable);
  EXPECT_EQ(probeDestination(files()), DestinationState::NotCreatable);
  EXPECT_EQ(probeDestination(""), DestinationState::NotCreatable);
  EXPECT_EQ(probeDestination("/dev/null"), DestinationState::NotCreatable);
  ASSERT_EQ(::symlink("loop", file("loop").c_str()), 0);
  EXPECT_EQ(probeDestination(file("loop")), DestinationState::NotCreatable);
  expectNoStrayFiles({"loop"});
}

TEST_F(JobTest, ProbeNeverOpensAFifo) {
  ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0600), 0);
  // Opening a FIFO for writing would block for a reader that never comes.
  ::alarm(20);
  EXPECT_EQ(probeDestination(file("fifo")), DestinationState::NotCreatable);
  ::alarm(0);
}

}  // namespace
}  // namespace talvek
