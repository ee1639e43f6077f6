// A full disk: the job fails with the system's reason and leaves nothing,
// the old destination intact. The disk is a small tmpfs that
// full_disk_test.sh mounts and gives wine as a drive, named here by
// TALVEK_FULL_DISK_DIR.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "job/transform_file.h"
#include "job_test_support.h"
#include "windows_test_support.h"

namespace talvek::test {
namespace {

constexpr char kKey[] = "Morva~Key";

class Win32FullDiskTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    const char* disk = std::getenv("TALVEK_FULL_DISK_DIR");
    if (disk == nullptr || *disk == '\0') {
      GTEST_SKIP() << "no small disk: full_disk_test.sh mounts one (as root) and runs these";
    }
    disk_ = disk;
    // Larger than the whole disk.
    writeFile(file("source"), patternBytes(3 << 20));
  }
  std::string onDisk(const std::string& name) const { return disk_ + "/" + name; }
  std::string disk_;
};

TEST_F(Win32FullDiskTest, ANewDestinationIsNotLeftBehind) {
  JobReport report;
  EXPECT_FALSE(transformFile(file("source"), onDisk("dest.tc"), kKey, true, false, &report));
  EXPECT_EQ(report.failure, JobFailure::WriteFailed);
  EXPECT_TRUE(report.why.is(Condition::NoSpace)) << report.why.toString();
  EXPECT_FALSE(report.why.reason().empty());
  EXPECT_EQ(entries(disk_), std::set<std::string>{});
  expectNoStrayFiles({"source"});
}

TEST_F(Win32FullDiskTest, AnExistingDestinationKeepsItsBytes) {
  writeFile(onDisk("dest.tc"), "old bytes");
  JobReport report;
  EXPECT_FALSE(transformFile(file("source"), onDisk("dest.tc"), kKey, true, true, &report));
  EXPECT_EQ(report.failure, JobFailure::WriteFailed);
  EXPECT_TRUE(report.why.is(Condition::NoSpace)) << report.why.toString();
  EXPECT_EQ(readFile(onDisk("dest.tc")), "old bytes");
  EXPECT_EQ(entries(disk_), std::set<std::string>{"dest.tc"});
  expectNoStrayFiles({"source"});
}

}  // namespace
}  // namespace talvek::test
