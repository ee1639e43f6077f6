// A job cut short past anything it can clean up: killed before each of its
// file calls, or its machine's power cut before each of them (writes,
// names and links not yet synced are lost). Once the next start has run its
// recovery, every destination holds its old bytes or the complete result,
// the user is told of each file put back, and nothing is left anywhere.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <csignal>
#include <string>
#include <vector>

#include "fault_seam.h"
#include "job/interrupted_jobs.h"
#include "platform/atomic_file.h"
#include "scenario_test.h"

namespace talvek {
namespace {

using test::FaultPlan;
using test::kScenarios;
using test::Scenario;
using test::SysCall;

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

class JobCrashTest : public test::ScenarioTest {
 protected:
  // The calls of a run that ends, with or without unnamed files.
  std::vector<SysCall> callsOf(const Scenario& scenario, bool unnamed) {
    prepare(scenario);
    FaultPlan plan;
    if (!unnamed) plan.withoutUnnamedFiles();
    EXPECT_TRUE(run(scenario, nullptr)) << scenario.name;
    return plan.callOrder();
  }

  // Cuts the power before each call of the scenario's job in turn.
  void cutBeforeEveryCall(const Scenario& scenario, bool unnamed, FaultPlan::UnsyncedBytes unsynced);

  // The next start's recovery. Every journal it finds is applied, never
  // kept, and a destination left mixed is among the files it names.
  void recoverAndCheck(const Scenario& scenario) {
    const std::string destination = file(scenario.destination);
    const std::string now = test::pathExists(destination) ? test::readFile(destination) : "";
    const bool mixed = test::pathExists(destination) && now != before(scenario) && now != encoded_;
    bool told = false;
    for (const InterruptedJob& job : recoverInterruptedJobs(journals())) {
      EXPECT_EQ(job.outcome, InterruptedJob::Outcome::Restored) << job.file;
      EXPECT_EQ(job.keptCopy, "");
      told = told || job.file == canonical(destination);
    }
    if (mixed) {
      EXPECT_TRUE(told) << "a file put back without a word";
    }
    expectOldOrComplete(scenario);
  }
};

TEST_F(JobCrashTest, APowerCutBeforeAnyCallLeavesTheOldBytesOrTheResult) {
  using Unsynced = FaultPlan::UnsyncedBytes;
  for (const Unsynced unsynced : {Unsynced::LostWrites, Unsynced::WrittenBack}) {
    for (const bool unnamed : {true, false}) {
      for (const Scenario& scenario : kScenarios) {
        cutBeforeEveryCall(scenario, unnamed, unsynced);
      }
    }
  }
}

void JobCrashTest::cutBeforeEveryCall(const Scenario& scenario, bool unnamed,
                                      FaultPlan::UnsyncedBytes unsynced) {
  const std::vector<SysCall> order = callsOf(scenario, unnamed);
  // Once more than there are calls: the power goes after the last one.
  for (int nth = 1; nth <= static_cast<int>(order.size()) + 1; ++nth) {
    SCOPED_TRACE(std::string(scenario.name) + (unnamed ? "" : ", no unnamed files") +
                 (unsynced == FaultPlan::UnsyncedBytes::WrittenBack ? ", pages written back"
                                                                    : "") +
                 ": " + test::describeCall(order, nth));
    prepare(scenario);
    {
      FaultPlan plan;
      if (!unnamed) plan.withoutUnnamedFiles();
      plan.cutPowerBefore(nth, {files(), tmp(), journals()}, unsynced);
      (void)run(scenario, nullptr);
      if (!plan.powerWasCut()) plan.cutPowerNow();
      plan.restartAfterPowerCut();
    }
    recoverAndCheck(scenario);
  }
}

TEST_F(JobCrashTest, AKillBeforeAnyCallLeavesTheOldBytesOrTheResult) {
  // Killed, a job keeps every write it made. Without unnamed files the
  // result beside the destination has a name while it is written, so that
  // way only the journal's own ".partial" file is looked at here.
  struct Way {
    const Scenario& scenario;
    bool unnamed;
  };
  const Way ways[] = {{kScenarios[0], true}, {kScenarios[1], true}, {kScenarios[2], true},
                      {kScenarios[3], true}, {kScenarios[4], true}, {kScenarios[3], false},
                      {kScenarios[4], false}};
  for (const Way& way : ways) {
    const std::vector<SysCall> order = callsOf(way.scenario, way.unnamed);
    for (int nth = 1; nth <= static_cast<int>(order.size()); ++nth) {
      SCOPED_TRACE(std::string(way.scenario.name) + (way.unnamed ? "" : ", no unnamed files") +
                   ": killed before " + test::describeCall(order, nth));
      prepare(way.scenario);
      const int status = test::runInChild([&] {
        FaultPlan plan;
        if (!way.unnamed) plan.withoutUnnamedFiles();
        plan.runBeforeCall(nth, [] { ::raise(SIGKILL); });
        (void)run(way.scenario, nullptr);
        return 0;
      });
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
      // No call puts an unnamed file over another: the complete result gets
      // a hidden name first and is then renamed. Only a kill between the two
      // leaves it, whole, beside the destination.
      const bool betweenLinkAndRename = nth >= 2 && order[nth - 1] == SysCall::Renameat &&
                                        order[nth - 2] == SysCall::Linkat;
      for (const std::string& name : test::entries(files())) {
        if (name[0] != '.') continue;
        // What a walk over the folder must know for the program's own.
        EXPECT_TRUE(isAtomicFileTemporaryName(name)) << name;
        if (!betweenLinkAndRename) continue;
        EXPECT_TRUE(test::readFile(file(name)) == encoded_) << name << " is not the whole result";
        ::unlink(file(name).c_str());
      }
      recoverAndCheck(way.scenario);
    }
  }
}

}  // namespace
}  // namespace talvek
