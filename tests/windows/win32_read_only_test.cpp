// The read-only attribute on Windows: a destination the user agreed to
// replace is replaced however it is marked, and the result is not
// read-only, as the original's clearing of the attribute leaves it. Written
// in place, the attribute is cleared only for the write, and comes back if
// the job fails or is stopped.
#include <windows.h>

#include <gtest/gtest.h>

#include "job/transform_file.h"
#include "job_test_support.h"
#include "platform/atomic_file.h"
#include "windows_test_support.h"

namespace talvek::test {
namespace {

constexpr char kKey[] = "Morva~Key";

class Win32ReadOnlyTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    if (!readOnlyAttributeCounts()) GTEST_SKIP() << kReadOnlyIgnored;
    data_ = patternBytes(200000);
    writeFile(file("source"), data_);
    writeFile(file("dest.tc"), "old bytes");
  }
  std::string data_;
};

TEST_F(Win32ReadOnlyTest, ReplacedByRenameTheResultIsNotReadOnly) {
  ASSERT_TRUE(setAttributesOf(file("dest.tc"), FILE_ATTRIBUTE_READONLY));
  JobReport report;
  ASSERT_TRUE(transformFile(file("source"), file("dest.tc"), kKey, true, true, &report))
      << report.why.toString();
  EXPECT_EQ(readFile(file("dest.tc")), expectedTransform(data_, kKey, true));
  EXPECT_FALSE(isReadOnly(file("dest.tc")));
  expectNoStrayFiles({"source", "dest.tc"});
}

TEST_F(Win32ReadOnlyTest, WithoutTheUsersAgreementAReadOnlyFileIsNotReplaced) {
  ASSERT_TRUE(setAttributesOf(file("dest.tc"), FILE_ATTRIBUTE_READONLY));
  AtomicFile::Options options;
  options.replaceWriteProtected = false;
  AtomicFile out;
  EXPECT_EQ(out.open(file("dest.tc"), options).condition(), Condition::AccessDenied);
  EXPECT_EQ(readFile(file("dest.tc")), "old bytes");
  EXPECT_TRUE(isReadOnly(file("dest.tc")));
  expectNoStrayFiles({"source", "dest.tc"});
}

TEST_F(Win32ReadOnlyTest, WrittenInPlaceTheAttributeIsClearedForTheWrite) {
  ASSERT_TRUE(hardLink(file("dest.tc"), file("link.tc")));
  ASSERT_TRUE(setAttributesOf(file("dest.tc"), FILE_ATTRIBUTE_READONLY));
  JobReport report;
  ASSERT_TRUE(transformFile(file("source"), file("dest.tc"), kKey, true, true, &report))
      << report.why.toString();
  EXPECT_EQ(readFile(file("link.tc")), expectedTransform(data_, kKey, true));
  EXPECT_FALSE(isReadOnly(file("link.tc")));
  expectNoStrayFiles({"source", "dest.tc", "link.tc"});
}

TEST_F(Win32ReadOnlyTest, WrittenInPlaceAndStoppedTheAttributeComesBack) {
  ASSERT_TRUE(hardLink(file("dest.tc"), file("link.tc")));
  ASSERT_TRUE(setAttributesOf(file("dest.tc"), FILE_ATTRIBUTE_READONLY));
  JobReport report;
  EXPECT_FALSE(transformFile(file("source"), file("dest.tc"), kKey, true, true, &report,
                             [](uint64_t done, uint64_t total) { return done < total; }));
  EXPECT_EQ(report.failure, JobFailure::Stopped);
  EXPECT_EQ(readFile(file("link.tc")), "old bytes");
  EXPECT_TRUE(isReadOnly(file("link.tc")));
  expectNoStrayFiles({"source", "dest.tc", "link.tc"});
}

}  // namespace
}  // namespace talvek::test
