// Every file call of the job failing in turn, through the fault seam: each
// run must end with the destination's old bytes or the complete result (or
// the old bytes in a kept copy that the report names), a failure reported
// with its reason, and no stray file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <string>
#include <vector>

#include "fault_seam.h"
#include "job/interrupted_jobs.h"
#include "job/transform_file.h"
#include "platform/file.h"
#include "job_test_support.h"
#include "scenario_test.h"

namespace talvek {
namespace {

using test::FaultPlan;
using test::kScenarios;
using test::Scenario;
using test::SysCall;

using JobSeamTest = test::ScenarioTest;

TEST_F(JobSeamTest, EveryFileCallFailingOnceEndsInThePromisedState) {
  const SysCall kinds[] = {SysCall::Open,      SysCall::Openat,   SysCall::Close,
                           SysCall::Pread,     SysCall::Pwrite,   SysCall::Fsync,
                           SysCall::Ftruncate, SysCall::Renameat, SysCall::CopyFileRange};
  for (const Scenario& scenario : kScenarios) {
    for (SysCall kind : kinds) {
      prepare(scenario);
      int count = 0;
      {
        FaultPlan plan;
        ASSERT_TRUE(run(scenario, nullptr)) << scenario.name;
        count = plan.calls(kind);
      }
      for (int nth = 1; nth <= count; ++nth) {
        SCOPED_TRACE(std::string(scenario.name) + ": " + test::sysCallName(kind) + " " +
                     std::to_string(nth) + " of " + std::to_string(count));
        prepare(scenario);
        JobReport report;
        bool done = false;
        {
          FaultPlan plan;
          plan.failAt(kind, nth, EIO);
          done = run(scenario, &report);
          EXPECT_TRUE(plan.fired(kind));
        }
        expectPromisedState(scenario, done, report);
      }
    }
  }
}

TEST_F(JobSeamTest, SyncsTheResultBeforeItCountsAndTheBackupBeforeOverwriting) {
  // Which fsync must fail the job, and how: the result before it is named;
  // in place, the journal and its directory before the destination is
  // overwritten, then the destination.
  struct Expectation {
    Scenario scenario;
    int nth;
    JobFailure failure;
  };
  const Expectation expectations[] = {
      {kScenarios[0], 1, JobFailure::WriteFailed}, {kScenarios[1], 1, JobFailure::WriteFailed},
      {kScenarios[2], 1, JobFailure::WriteFailed}, {kScenarios[3], 1, JobFailure::WorkingCopy},
      {kScenarios[3], 2, JobFailure::WorkingCopy}, {kScenarios[3], 3, JobFailure::WriteFailed},
      {kScenarios[4], 1, JobFailure::WorkingCopy}, {kScenarios[4], 2, JobFailure::WorkingCopy},
      {kScenarios[4], 3, JobFailure::WriteFailed},
  };
  for (const Expectation& expect : expectations) {
    SCOPED_TRACE(std::string(expect.scenario.name) + " " + std::to_string(expect.nth));
    prepare(expect.scenario);
    JobReport report;
    {
      FaultPlan plan;
      plan.failAt(SysCall::Fsync, expect.nth, EIO);
      EXPECT_FALSE(run(expect.scenario, &report));
    }
    EXPECT_EQ(report.failure, expect.failure);
    EXPECT_STREQ(report.why.operation(), "fsync");
    expectPromisedState(expect.scenario, false, report);
  }
  // A renamed result: the file, then its directory so that the name lasts.
  // In place: the journal and its directory, the destination, then the
  // journal's removal and the zeros over it.
  const int syncs[] = {2, 2, 2, 5, 5};
  for (size_t i = 0; i < std::size(kScenarios); ++i) {
    prepare(kScenarios[i]);
    FaultPlan plan;
    ASSERT_TRUE(run(kScenarios[i], nullptr));
    EXPECT_EQ(plan.calls(SysCall::Fsync), syncs[i]) << kScenarios[i].name;
  }
}

TEST_F(JobSeamTest, AFailureNamesTheDestinationAsGivenNotTheFileBehindALink) {
  for (SysCall kind : {SysCall::Openat, SysCall::Pwrite, SysCall::Fsync, SysCall::Renameat}) {
    SCOPED_TRACE(test::sysCallName(kind));
    prepare(kScenarios[1]);
    ASSERT_EQ(::symlink("dst", file("link").c_str()), 0);
    JobReport report;
    {
      FaultPlan plan;
      plan.failAt(kind, 1, EIO);
      EXPECT_FALSE(transformFile(file("src"), file("link"), test::kScenarioKey, true, true, &report));
    }
    EXPECT_EQ(report.failure, JobFailure::WriteFailed);
    EXPECT_EQ(report.path, file("link"));
    EXPECT_EQ(report.why.code(), EIO);
    EXPECT_TRUE(test::readFile(file("dst")) == old_);
    expectNoStrayFiles({"src", "dst", "link"});
  }
}

TEST_F(JobSeamTest, WritesThatFailFromSomePointOnKeepTheOldBytesInACopy) {
  // Putting the old bytes back fails as well: the working copy is kept.
  for (const Scenario& scenario : {kScenarios[3], kScenarios[4]}) {
    SCOPED_TRACE(scenario.name);
    prepare(scenario);
    JobReport report;
    bool done = false;
    {
      FaultPlan plan;
      // The journal takes one pwrite a MiB and one for its record; the
      // job's writes come next, and the one kernel copy puts the bytes back.
      const size_t oldSize = scenario.destination == std::string("src") ? data_.size() : old_.size();
      const int journalWrites = static_cast<int>((oldSize + (1u << 20) - 1) >> 20) + 1;
      plan.failFrom(SysCall::Pwrite, journalWrites + 2, ENOSPC)
          .failFrom(SysCall::CopyFileRange, 1, ENOSPC);
      done = run(scenario, &report);
    }
    EXPECT_FALSE(done);
    EXPECT_EQ(report.failure, JobFailure::WriteFailed);
    EXPECT_EQ(report.why.code(), ENOSPC);
    EXPECT_EQ(report.path, file(scenario.destination));
    ASSERT_FALSE(report.keptCopy.empty());
    EXPECT_EQ(report.keptContent, scenario.destination == std::string("src")
                                      ? KeptCopyContent::SourceData
                                      : KeptCopyContent::DestinationContents);
    expectPromisedState(scenario, done, report);
  }
}

TEST_F(JobSeamTest, AJournalThatCannotBeRemovedIsNamedZeroedAndLaterDropped) {
  for (const Scenario& scenario : {kScenarios[3], kScenarios[4]}) {
    SCOPED_TRACE(scenario.name);
    prepare(scenario);
    JobReport report;
    {
      FaultPlan plan;
      plan.failAt(SysCall::Unlinkat, 1, EACCES);
      EXPECT_TRUE(run(scenario, &report));
    }
    EXPECT_TRUE(test::readFile(file(scenario.destination)) == encoded_);
    ASSERT_EQ(report.leftOver.code(), EACCES);
    ASSERT_EQ(report.leftOver.path().rfind(journals() + "/job-", 0), 0u) << report.leftOver.path();
    const std::string left = test::readFile(report.leftOver.path());
    EXPECT_EQ(left.find_first_not_of('\0'), std::string::npos) << "not zeroed";
    // Blank, it undoes nothing and goes without a word.
    EXPECT_TRUE(recoverInterruptedJobs(journals()).empty());
    expectNoStrayFiles(names(scenario));
  }
}

TEST_F(JobSeamTest, ShortReadsAndWritesStillGiveTheExactResult) {
  for (const Scenario& scenario : kScenarios) {
    for (SysCall kind : {SysCall::Pwrite, SysCall::Pread, SysCall::CopyFileRange}) {
      SCOPED_TRACE(std::string(scenario.name) + ": " + test::sysCallName(kind));
      prepare(scenario);
      JobReport report;
      bool done = false;
      {
        FaultPlan plan;
        plan.limitBytes(kind, 4093);
        done = run(scenario, &report);
      }
      EXPECT_TRUE(done);
      expectPromisedState(scenario, done, report);
    }
  }
}

TEST_F(JobSeamTest, AKernelCopyThatEndsEarlyIsFinishedByReading) {
  const std::string data = test::patternBytes((3u << 20) + 11);
  test::writeFile(file("from"), data);
  for (int nth : {1, 2}) {
    File from(::open(file("from").c_str(), O_RDONLY | O_CLOEXEC));
    File to(::open(file("to").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    uint64_t copied = 0;
    {
      FaultPlan plan;
      plan.limitBytes(SysCall::CopyFileRange, 1 << 20).returnZeroAt(SysCall::CopyFileRange, nth);
      ASSERT_TRUE(copyFileData(from, to, UINT64_MAX, {}, &copied).ok()) << nth;
      EXPECT_TRUE(plan.fired(SysCall::CopyFileRange));
    }
    EXPECT_EQ(copied, data.size());
    EXPECT_TRUE(test::readFile(file("to")) == data) << nth;
  }
}

}  // namespace
}  // namespace talvek
