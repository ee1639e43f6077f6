// The kinds of destination a job writes, each set up afresh in a JobTest's
// directories, with the state every run must end in: the destination's old
// bytes or the complete result, and nothing stray.
#pragma once

#include <set>
#include <string>

#include "job/transform_file.h"
#include "job_test_support.h"

namespace talvek::test {

// Beside the destination and then named, or in place.
struct Scenario {
  const char* name;
  const char* destination;
  const char* secondName;  // a hard link made to the destination, or null
  bool inPlace() const { return secondName != nullptr; }
};

inline constexpr Scenario kScenarios[] = {
    {"new file", "new", nullptr},           {"replaced file", "dst", nullptr},
    {"the source itself", "src", nullptr},  {"in place, several names", "dst", "dst2"},
    {"the source in place", "src", "src2"},
};

inline constexpr char kScenarioKey[] = "seam key";

class ScenarioTest : public JobTest {
 protected:
  // Not a multiple of the buffer, so the last write is a short one.
  const std::string data_ = patternBytes((2u << 20) + 4099);
  const std::string old_ = patternBytes(7001, 3);
  const std::string encoded_ = expectedTransform(data_, kScenarioKey, true);

  // Empties the directories and makes the scenario's files, with the journal
  // directory as a first in-place job leaves it, so every run makes the same
  // calls.
  void prepare(const Scenario& scenario);
  // The names the files directory holds when nothing is stray.
  std::set<std::string> names(const Scenario& scenario) const;
  // Encodes src into the scenario's destination.
  bool run(const Scenario& scenario, JobReport* report);

  // The old bytes of the destination.
  const std::string& before(const Scenario& scenario) const;

  // The promised state after a run that returned `done`.
  void expectPromisedState(const Scenario& scenario, bool done, const JobReport& report);
  // The promised state after a run that never returned (killed, or its
  // power cut) once the next start's recovery has run: the old bytes or the
  // complete result, the same on every name, and nothing stray.
  void expectOldOrComplete(const Scenario& scenario);
};

}  // namespace talvek::test
