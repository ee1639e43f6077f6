#include "job/transform_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codec/byte_transform.h"
#include "codec/key_text.h"
#include "job_test_support.h"

namespace talvek {
namespace {

using test::JobTest;

constexpr char kKey[] = "correct horse";

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST_F(JobTest, RoundTripsFilesOfEverySize) {
  for (size_t size :
       {size_t{0}, size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, (size_t{5} << 20) + 13}) {
    SCOPED_TRACE(size);
    const std::string data = test::patternBytes(size, static_cast<uint32_t>(size));
    test::writeFile(file("plain"), data);
    JobReport report;
    report.failure = JobFailure::ReadFailed;  // must be reset by the job
    ASSERT_TRUE(transformFile(file("plain"), file("plain.tc"), kKey, true, true, &report));
    EXPECT_EQ(report.failure, JobFailure::None);
    const std::string encoded = test::readFile(file("plain.tc"));
    EXPECT_EQ(encoded.size(), size);
    EXPECT_TRUE(encoded == test::expectedTransform(data, kKey, true));
    ASSERT_TRUE(transformFile(file("plain.tc"), file("back"), kKey, false, true, &report));
    EXPECT_TRUE(test::readFile(file("back")) == data);
    expectNoStrayFiles({"plain", "plain.tc", "back"});
  }
}

TEST_F(JobTest, EncodedLayoutUsesKeyCharacterAndPositionKModN) {
  for (std::string key : {std::string("ab"), std::string("k3y\xE9\x80!"), std::string(300, 'Z')}) {
    const std::string prepared = prepareKeyText(key);
    const size_t n = prepared.size();
    const std::string data = test::patternBytes(3 * n + 5, 11);
    test::writeFile(file("in"), data);
    ASSERT_TRUE(transformFile(file("in"), file("out"), key, true, true));
    const std::string out = test::readFile(file("out"));
    ASSERT_EQ(out.size(), data.size());
    for (size_t k = 0; k < data.size(); ++k) {
      const auto position = static_cast<uint32_t>(k % n);
      ASSERT_EQ(static_cast<uint8_t>(out[k]),
                encodeByte(static_cast<uint8_t>(data[k]), static_cast<int8_t>(prepared[position]),
                           position))
          << "byte " << k << " of a prepared key of " << n;
    }
    // The position starts at 0 for every job.
    ASSERT_TRUE(transformFile(file("in"), file("again"), key, true, true));
    EXPECT_EQ(test::readFile(file("again")), out);
  }
}

TEST_F(JobTest, TransformsInPlaceAndUnderAnotherSpelling) {
  const std::string data = test::patternBytes(100000);
  test::writeFile(file("doc"), data);
  ASSERT_EQ(::chmod(file("doc").c_str(), 0604), 0);
  ASSERT_TRUE(transformFile(file("doc"), file("doc"), kKey, true, true));
  EXPECT_TRUE(test::readFile(file("doc")) == test::expectedTransform(data, kKey, true));
  EXPECT_EQ(modeOf(file("doc")), 0604u);
  ASSERT_TRUE(transformFile(file("doc"), files() + "/./doc", kKey, false, true));
  EXPECT_TRUE(test::readFile(file("doc")) == data);
  expectNoStrayFiles({"doc"});
}

TEST_F(JobTest, ChecksRunInOrderAndLeaveEverythingUntouched) {
  test::writeFile(file("src"), "source");
  test::writeFile(file("dst"), "old");
  ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0600), 0);
  JobReport report;

  EXPECT_FALSE(transformFile(file("missing"), file("dst"), "", true, true, &report));
  EXPECT_EQ(report.failure, JobFailure::SourceInvalid);
  EXPECT_FALSE(transformFile(files(), file("new"), kKey, true, true, &report));
  EXPECT_EQ(report.failure, JobFailure::SourceInvalid);
  EXPECT_FALSE(transformFile(file("src"), file("nodir/new"), "", true, true, &report));
  EXPECT_EQ(report.failure, JobFailure::DestinationInvalid);
  EXPECT_FALSE(transformFile(file("src"), files(), kKey, true, true, &report));
  EXPECT_EQ(report.failure, JobFailure::DestinationInvalid);
  ::alarm(20);  // a FIFO opened for writing would block
  EXPECT_FALSE(transformFile(file("src"), file("fifo"), kKey, true, true, &report));
  ::alarm(0);
  EXPECT_EQ(report.failure, JobFailure::DestinationInvalid);
  EXPECT_FALSE(transformFile(file("src"), file("dst"), kKey, true, false, &report));
  EXPECT_EQ(report.failure, JobFailure::DestinationExists);
  EXPECT_FALSE(transformFile(file("src"), file("new"), "", true, true, &report));
  EXPECT_EQ(report.failure, JobFailure::EmptyKey);

  EXPECT_EQ(test::readFile(file("dst")), "old");
  EXPECT_EQ(test::readFile(file("src")), "source");
  expectNoStrayFiles({"src", "dst", "fifo"});
}

TEST_F(JobTest, ReplacesAnExistingDestinationKeepingItsMode) {
  const std::string data = test::patternBytes(5000);
  test::writeFile(file("src"), data);
  test::writeFile(file("dst"), std::string(20000, 'o'));
  ASSERT_EQ(::chmod(file("dst").c_str(), 0640), 0);
  ASSERT_TRUE(transformFile(file("src"), file("dst"), kKey, true, true));
  EXPECT_TRUE(test::readFile(file("dst")) == test::expectedTransform(data, kKey, true));
  EXPECT_EQ(modeOf(file("dst")), 0640u);

  // A read-only destination, once made writable as the commands do, is replaced.
  ASSERT_EQ(::chmod(file("dst").c_str(), 0444), 0);
  ASSERT_EQ(::chmod(file("dst").c_str(), 0644), 0);
  ASSERT_TRUE(transformFile(file("dst"), file("dst"), kKey, false, true));
  EXPECT_TRUE(test::readFile(file("dst")) == data);

  const mode_t old = ::umask(022);
  ASSERT_TRUE(transformFile(file("src"), file("fresh"), kKey, true, true));
  ::umask(old);
  EXPECT_EQ(modeOf(file("fresh")), 0644u);
  expectNoStrayFiles({"src", "dst", "fresh"});
}

TEST_F(JobTest, ALinkedDestinationHasItsTargetReplaced) {
  test::writeFile(file("src"), "source bytes");
  ASSERT_EQ(::mkdir(file("real").c_str(), 0755), 0);
  test::writeFile(file("real/target"), "old");
  ASSERT_EQ(::symlink("real/target", file("link").c_str()), 0);
  ASSERT_TRUE(transformFile(file("src"), file("link"), kKey, true, true));
  struct stat st;
  ASSERT_EQ(::lstat(file("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(test::readFile(file("real/target")),
            test::expectedTransform("source bytes", kKey, true));
  EXPECT_EQ(test::entries(file("real")), std::set<std::string>{"target"});

  // A dangling link: its target is created, as writing through it would.
  ASSERT_EQ(::symlink("real/fresh", file("dangling").c_str()), 0);
  ASSERT_TRUE(transformFile(file("src"), file("dangling"), kKey, true, true));
  EXPECT_EQ(test::readFile(file("real/fresh")),
            test::expectedTransform("source bytes", kKey, true));
  EXPECT_EQ(test::entries(file("real")), (std::set<std::string>{"fresh", "target"}));
}

TEST_F(JobTest, AHardLinkedDestinationIsWrittenInPlaceForEveryName) {
  const std::string data = test::patternBytes(70000);
  test::writeFile(file("src"), data);
  test::writeFile(file("dst"), std::string(90000, 'o'));
  ASSERT_EQ(::link(file("dst").c_str(), file("other").c_str()), 0);
  ASSERT_TRUE(transformFile(file("src"), file("dst"), kKey, true, true));
  const std::string expected = test::expectedTransform(data, kKey, true);
  EXPECT_TRUE(test::readFile(file("dst")) == expected);
  EXPECT_TRUE(test::readFile(file("other")) == expected);

  // The source itself with a second name: in place, from the working copy.
  ASSERT_TRUE(transformFile(file("other"), file("dst"), kKey, false, true));
  EXPECT_TRUE(test::readFile(file("dst")) == data);
  EXPECT_TRUE(test::readFile(file("other")) == data);
  expectNoStrayFiles({"src", "dst", "other"});
}

TEST_F(JobTest, ReportsProgressUpToTheTotal) {
  const std::string data = test::patternBytes((17u << 20) + 1);
  test::writeFile(file("src"), data);
  std::vector<std::pair<uint64_t, uint64_t>> calls;
  ASSERT_TRUE(transformFile(file("src"), file("dst"), kKey, true, true, nullptr,
                            [&calls](uint64_t done, uint64_t total) {
                              calls.emplace_back(done, total);
                              return true;
                            }));
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().first, 0u);
  EXPECT_EQ(calls.back().first, data.size());
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].second, data.size());
    if (i > 0) {
      EXPECT_GT(calls[i].first, calls[i - 1].first);
    }
  }
}

TEST_F(JobTest, WorksFromItsCopyWhenTheSourceVanishes) {
  const std::string data = test::patternBytes(9u << 20);
  test::writeFile(file("src"), data);
  bool removed = false;
  ASSERT_TRUE(
      transformFile(file("src"), file("dst"), kKey, true, true, nullptr, [&](uint64_t, uint64_t) {
        if (!removed) removed = ::unlink(file("src").c_str()) == 0;
        return true;
      }));
  EXPECT_TRUE(removed);
  EXPECT_TRUE(test::readFile(file("dst")) == test::expectedTransform(data, kKey, true));
  expectNoStrayFiles({"dst"});
}

}  // namespace
}  // namespace talvek
