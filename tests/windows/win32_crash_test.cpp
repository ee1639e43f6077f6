// A job killed at its worst moment (the result complete, not yet in place;
// or the destination overwritten where it stands) leaves nothing of its own
// behind, and the next start puts back what it overwrote. The job runs in a
// child process, which the test ends as the task manager would.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

#include "child_process.h"
#include "job/interrupted_jobs.h"
#include "job/transform_file.h"
#include "job_test_support.h"
#include "windows_test_support.h"

namespace talvek::test {
namespace {

constexpr char kKey[] = "Morva~Key";

// The child: runs the job named by its argument ("source|destination|marker")
// and, at the last moment before the result is in place, says so through
// the marker file and waits to be killed.
TEST(Win32JobCrash, Child) {
  const std::optional<std::string> argument = childArgument();
  if (!argument) GTEST_SKIP() << "runs only as the child of Win32JobCrashTest";
  std::istringstream parts(*argument);
  std::string source;
  std::string destination;
  std::string marker;
  std::getline(parts, source, '|');
  std::getline(parts, destination, '|');
  std::getline(parts, marker, '|');
  transformFile(source, destination, kKey, true, true, nullptr,
                [&marker](uint64_t done, uint64_t total) {
                  if (done == total) {
                    writeFile(marker, "underway");
                    ::Sleep(INFINITE);
                  }
                  return true;
                });
  ADD_FAILURE() << "the job ended before it was killed";
}

struct CrashCase {
  const char* name;
  const char* oldDestination;  // null: none
  bool hardLinked;             // written in place, with a journal
};

void PrintTo(const CrashCase& c, std::ostream* out) {
  *out << c.name;
}

class Win32JobCrashTest : public JobTest, public ::testing::WithParamInterface<CrashCase> {
 protected:
  // Runs the job in a child and kills it once it is underway.
  void runAndKill(const std::string& source, const std::string& destination) {
    const std::string marker = root_.file("marker");
    ChildTest child("Win32JobCrash.Child", source + "|" + destination + "|" + marker);
    ASSERT_TRUE(child.started());
    // Bounded only so that a broken child cannot hang the suite.
    for (int i = 0; i < 6000 && !pathExists(marker); ++i) ::Sleep(10);
    ASSERT_TRUE(pathExists(marker)) << "the child never got underway";
    child.kill();
  }
};

TEST_P(Win32JobCrashTest, AKilledJobLeavesNothingAndIsUndoneAtTheNextStart) {
  const CrashCase& c = GetParam();
  const std::string data = patternBytes(3 << 20);
  writeFile(file("source"), data);
  std::set<std::string> names = {"source"};
  if (c.oldDestination != nullptr) {
    writeFile(file("dest.tc"), c.oldDestination);
    names.insert("dest.tc");
  }
  if (c.hardLinked) {
    ASSERT_TRUE(hardLink(file("dest.tc"), file("link.tc")));
    names.insert("link.tc");
  }
  runAndKill(file("source"), file("dest.tc"));
  // Only the user's files: the hidden result went with the process.
  EXPECT_EQ(entries(files()), names);
  EXPECT_EQ(entries(tmp()), std::set<std::string>{});
  if (!c.hardLinked) {
    if (c.oldDestination != nullptr) {
      EXPECT_EQ(readFile(file("dest.tc")), c.oldDestination);
    }
    EXPECT_TRUE(recoverInterruptedJobs().empty());
  } else {
    // Overwritten where it stands when the job died: its journal puts the
    // old bytes back.
    EXPECT_EQ(readFile(file("link.tc")), expectedTransform(data, kKey, true));
    const std::vector<InterruptedJob> recovered = recoverInterruptedJobs();
    ASSERT_EQ(recovered.size(), 1u);
    EXPECT_EQ(recovered[0].outcome, InterruptedJob::Outcome::Restored)
        << recovered[0].why.toString();
    EXPECT_EQ(readFile(file("dest.tc")), c.oldDestination);
    EXPECT_EQ(readFile(file("link.tc")), c.oldDestination);
  }
  expectNoStrayFiles(names);
}

INSTANTIATE_TEST_SUITE_P(Destinations, Win32JobCrashTest,
                         ::testing::Values(CrashCase{"new", nullptr, false},
                                           CrashCase{"existing", "old bytes", false},
                                           CrashCase{"inPlace", "old bytes", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvek::test
