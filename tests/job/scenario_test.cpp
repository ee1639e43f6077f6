#include "scenario_test.h"

#include <sys/stat.h>
#include <unistd.h>

namespace talvek::test {

void ScenarioTest::prepare(const Scenario& scenario) {
  for (const std::string& name : entries(files())) ::unlink(file(name).c_str());
  for (const std::string& name : entries(tmp())) ::unlink((tmp() + "/" + name).c_str());
  removeJournals();
  ASSERT_EQ(::mkdir(root_.file("state/Brellam").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(journals().c_str(), 0700), 0);
  writeFile(file("src"), data_);
  writeFile(file("dst"), old_);
  if (scenario.secondName != nullptr) {
    ASSERT_EQ(::link(file(scenario.destination).c_str(), file(scenario.secondName).c_str()), 0);
  }
}

std::set<std::string> ScenarioTest::names(const Scenario& scenario) const {
  std::set<std::string> expected{"src", "dst", scenario.destination};
  if (scenario.secondName != nullptr) expected.insert(scenario.secondName);
  return expected;
}

bool ScenarioTest::run(const Scenario& scenario, JobReport* report) {
  return transformFile(file("src"), file(scenario.destination), kScenarioKey, true, true, report);
}

const std::string& ScenarioTest::before(const Scenario& scenario) const {
  return scenario.destination == std::string("src") ? data_ : old_;
}

void ScenarioTest::expectPromisedState(const Scenario& scenario, bool done,
                                       const JobReport& report) {
  const std::string destination = scenario.destination;
  if (done) {
    EXPECT_EQ(report.failure, JobFailure::None);
    EXPECT_TRUE(readFile(file(destination)) == encoded_) << "incomplete result";
  } else {
    EXPECT_NE(report.failure, JobFailure::None);
    const bool aCheck = report.failure == JobFailure::SourceInvalid ||
                        report.failure == JobFailure::DestinationInvalid;
    EXPECT_TRUE(aCheck || !report.why.ok()) << "no reason given";
    if (!report.keptCopy.empty()) {
      EXPECT_TRUE(readFile(report.keptCopy) == before(scenario))
          << "the kept copy is not the old bytes";
      ::unlink(report.keptCopy.c_str());
    } else if (destination == "new") {
      EXPECT_FALSE(pathExists(file("new")));
    } else {
      EXPECT_TRUE(readFile(file(destination)) == before(scenario)) << "old bytes lost";
    }
  }
  if (destination != "src") {
    EXPECT_TRUE(readFile(file("src")) == data_);
  }
  if (scenario.secondName != nullptr) {
    EXPECT_EQ(readFile(file(scenario.secondName)), readFile(file(destination)));
  }
  std::set<std::string> expected = names(scenario);
  if (destination == "new" && !done) expected.erase("new");
  expectNoStrayFiles(expected);
}

void ScenarioTest::expectOldOrComplete(const Scenario& scenario) {
  const std::string destination = scenario.destination;
  std::set<std::string> expected = names(scenario);
  if (destination == "new" && !pathExists(file("new"))) {
    expected.erase("new");
  } else {
    const std::string now = readFile(file(destination));
    EXPECT_TRUE(now == before(scenario) || now == encoded_)
        << "mixed: " << now.size() << " bytes, neither the old ones nor the result";
  }
  if (destination != "src") {
    EXPECT_TRUE(readFile(file("src")) == data_);
  }
  if (scenario.secondName != nullptr) {
    struct stat one;
    struct stat two;
    ASSERT_EQ(::stat(file(destination).c_str(), &one), 0);
    ASSERT_EQ(::stat(file(scenario.secondName).c_str(), &two), 0);
    EXPECT_EQ(one.st_ino, two.st_ino) << "the names were split";
  }
  expectNoStrayFiles(expected);
}

}  // namespace talvek::test
