#include "job/transform_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "codec/byte_transform.h"
#include "codec/key_text.h"
#include "job_test_support.h"
#include "platform/posix/unique_fd.h"

namespace talvek {
namespace {

using test::JobTest;
using test::kNobody;

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

// A minimal access list in the kernel's xattr form: owner rw-, user nobody
// r--, group r--, mask r--, others ---.
std::string accessList() {
  struct Entry {
    uint16_t tag;
    uint16_t perm;
    uint32_t id;
  };
  const uint32_t version = 2;
  const Entry entries[] = {
      {0x01, 6, ~0u}, {0x02, 4, kNobody}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::string blob(reinterpret_cast<const char*>(&version), sizeof version);
  blob.append(reinterpret_cast<const char*>(entries), sizeof entries);
  return blob;
}

std::string attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("<") + std::strerror(errno) + ">" : std::string(value, n);
}

TEST_F(JobTest, KeepsAReplacedFilesAttributesAndGivesANewOneTheSourcesMode) {
  const std::string data = test::patternBytes(70000);
  test::writeFile(file("src"), data);
  test::writeFile(file("dst"), "old");
  ASSERT_EQ(::chmod(file("dst").c_str(), 0640), 0);
  const std::string acl = accessList();
  if (::setxattr(file("dst").c_str(), "user.talvek.note", "kept", 4, 0) != 0 ||
      ::setxattr(file("dst").c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
    GTEST_SKIP() << "no extended attributes here: " << std::strerror(errno);
  }
  JobReport report;
  ASSERT_TRUE(transformFile(file("src"), file("dst"), kKey, true, true, &report));
  EXPECT_TRUE(report.attributesLost.ok());
  EXPECT_TRUE(test::readFile(file("dst")) == test::expectedTransform(data, kKey, true));
  EXPECT_EQ(attribute(file("dst"), "user.talvek.note"), "kept");
  EXPECT_EQ(attribute(file("dst"), "system.posix_acl_access"), acl);
  EXPECT_EQ(modeOf(file("dst")), 0640u);

  // A new file: the source's permission bits less the umask, as cp gives.
  ASSERT_EQ(::chmod(file("src").c_str(), 0600), 0);
  const mode_t old = ::umask(022);
  ASSERT_TRUE(transformFile(file("src"), file("private.tc"), kKey, true, true));
  ASSERT_EQ(::chmod(file("src").c_str(), 0755), 0);
  ASSERT_TRUE(transformFile(file("src"), file("program.tc"), kKey, true, true));
  // Nor does cp pass on set-user-ID and set-group-ID: bytes of another
  // kind must not run as the source's owner.
  ASSERT_EQ(::chmod(file("src").c_str(), 06755), 0);
  ASSERT_TRUE(transformFile(file("src"), file("setid.tc"), kKey, true, true));
  ::umask(old);
  EXPECT_EQ(modeOf(file("private.tc")), 0600u);
  EXPECT_EQ(modeOf(file("program.tc")), 0755u);
  EXPECT_EQ(modeOf(file("setid.tc")), 0755u);
  expectNoStrayFiles({"src", "dst", "private.tc", "program.tc", "setid.tc"});
}

// Where a job is asked to stop: at its first report, half-way, or at its
// last report (after the result is synced, before it is put in place).
enum class StopAt { Start, Middle, End };

TEST_F(JobTest, AStoppedJobLeavesTheDestinationAsItWasAndNothingElse) {
  const std::string data = test::patternBytes((3u << 20) + 77);
  const std::string old = test::patternBytes(5000, 9);
  for (StopAt at : {StopAt::Start, StopAt::Middle, StopAt::End}) {
    // A new file, a replaced one, the source itself, and a file written in
    // place because it has a second name.
    for (const char* destination : {"new", "dst", "src", "linked"}) {
      SCOPED_TRACE(std::string(destination) + " " + std::to_string(static_cast<int>(at)));
      test::writeFile(file("src"), data);
      test::writeFile(file("dst"), old);
      test::writeFile(file("linked"), old);
      ASSERT_EQ(::link(file("linked").c_str(), file("second").c_str()), 0);
      // Write-protected: a stopped job leaves the mode as it found it too.
      ASSERT_EQ(::chmod(file("dst").c_str(), 0444), 0);
      ASSERT_EQ(::chmod(file("linked").c_str(), 0444), 0);
      JobReport report;
      bool refused = false;
      int reportsAfterRefusal = 0;
      const bool done = transformFile(file("src"), file(destination), kKey, true, true, &report,
                                      [&](uint64_t bytes, uint64_t total) {
                                        if (refused) ++reportsAfterRefusal;
                                        refused = at == StopAt::Start ||
                                                  (at == StopAt::Middle && bytes >= total / 2) ||
                                                  bytes >= total;
                                        return !refused;
                                      });
      EXPECT_FALSE(done);
      EXPECT_EQ(report.failure, JobFailure::Stopped);
      EXPECT_EQ(reportsAfterRefusal, 0) << "the job went on after it was asked to stop";
      EXPECT_TRUE(test::readFile(file("src")) == data);
      EXPECT_EQ(test::readFile(file("dst")), old);
      EXPECT_EQ(test::readFile(file("linked")), old);
      EXPECT_EQ(test::readFile(file("second")), old);
      EXPECT_EQ(modeOf(file("dst")), 0444u);
      EXPECT_EQ(modeOf(file("linked")), 0444u);
      expectNoStrayFiles({"src", "dst", "linked", "second"});
      ASSERT_EQ(::unlink(file("second").c_str()), 0);
      ASSERT_EQ(::unlink(file("dst").c_str()), 0);
      ASSERT_EQ(::unlink(file("linked").c_str()), 0);
    }
  }
}

TEST_F(JobTest, ASecondJobOnAFileWrittenInPlaceWaitsThenSaysWhy) {
  // Both jobs write one file in place (it has two names); the first is held
  // in the middle of its write while the second tries.
  const std::string data = test::patternBytes((1u << 20) + 5);
  const std::string old = test::patternBytes(4000, 2);
  test::writeFile(file("src"), data);
  test::writeFile(file("dst"), old);
  ASSERT_EQ(::link(file("dst").c_str(), file("dst2").c_str()), 0);
  std::promise<void> firstUnderWay;
  std::promise<void> secondDone;
  std::future<void> mayGoOn = secondDone.get_future();
  JobReport first;
  std::thread writer([&] {
    bool held = false;
    transformFile(file("src"), file("dst"), kKey, true, true, &first,
                  [&](uint64_t done, uint64_t) {
                    if (done > 0 && !held) {
                      held = true;
                      firstUnderWay.set_value();
                      mayGoOn.wait();
                    }
                    return true;
                  });
  });
  firstUnderWay.get_future().wait();
  const std::string mixed = test::readFile(file("dst"));
  JobReport second;
  EXPECT_FALSE(transformFile(file("src"), file("dst"), "other key", true, true, &second));
  EXPECT_EQ(second.failure, JobFailure::DestinationBusy);
  EXPECT_EQ(second.path, file("dst"));
  EXPECT_TRUE(test::readFile(file("dst")) == mixed) << "the second job wrote too";
  secondDone.set_value();
  writer.join();
  EXPECT_EQ(first.failure, JobFailure::None);
  EXPECT_TRUE(test::readFile(file("dst2")) == test::expectedTransform(data, kKey, true));
  expectNoStrayFiles({"src", "dst", "dst2"});
}

TEST_F(JobTest, ReplacesNothingThatTookTheDestinationsPlaceWhileItRan) {
  struct Case {
    const char* name;
    bool existed;
    void (*meanwhile)(const std::string& destination);
    bool done;
  };
  const Case cases[] = {
      // As a second job with the same new destination would.
      {"a new name taken", false,
       [](const std::string& destination) { test::writeFile(destination, "theirs"); }, false},
      {"a replaced file replaced", true,
       [](const std::string& destination) {
         test::writeFile(destination + ".x", "theirs");
         ::rename((destination + ".x").c_str(), destination.c_str());
       },
       false},
      {"a replaced file removed", true,
       [](const std::string& destination) { ::unlink(destination.c_str()); }, true},
  };
  const std::string data = test::patternBytes((1u << 20) + 3);
  test::writeFile(file("src"), data);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::unlink(file("dst").c_str());
    if (c.existed) test::writeFile(file("dst"), "old");
    JobReport report;
    const bool done = transformFile(file("src"), file("dst"), kKey, true, true, &report,
                                    test::changingOnceUnderway([&] { c.meanwhile(file("dst")); }));
    EXPECT_EQ(done, c.done);
    if (c.done) {
      EXPECT_TRUE(test::readFile(file("dst")) == test::expectedTransform(data, kKey, true));
    } else {
      EXPECT_EQ(report.failure, JobFailure::DestinationExists);
      EXPECT_EQ(report.path, file("dst"));
      EXPECT_EQ(test::readFile(file("dst")), "theirs");
    }
    expectNoStrayFiles({"src", "dst"});
  }
}

TEST_F(JobTest, ASourceThatChangesWhileReadFailsAndChangesNothing) {
  const std::string data = test::patternBytes((3u << 20) + 5);
  for (const test::SourceChange& change : test::kSourceChanges) {
    for (const char* destination : {"dst", "linked"}) {
      SCOPED_TRACE(std::string(change.name) + " " + destination);
      test::writeAgedFile(file("src"), data);
      test::writeFile(file("dst"), "old");
      test::writeFile(file("linked"), "old");
      ASSERT_EQ(::link(file("linked").c_str(), file("second").c_str()), 0);
      JobReport report;
      EXPECT_FALSE(
          transformFile(file("src"), file(destination), kKey, true, true, &report,
                        test::changingOnceUnderway([&] { change.apply(file("src"), data); })));
      EXPECT_EQ(report.failure, JobFailure::SourceChanged);
      EXPECT_EQ(report.path, file("src"));
      EXPECT_EQ(test::readFile(file("dst")), "old");
      EXPECT_EQ(test::readFile(file("linked")), "old");
      expectNoStrayFiles({"src", "dst", "linked", "second"});
      ASSERT_EQ(::unlink(file("second").c_str()), 0);
    }
  }
}

TEST_F(JobTest, DoesNotFollowALinkPlantedInAStickyDirectory) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a link as another user";
  test::writeFile(file("src"), "source");
  test::writeFile(file("victim"), "precious");
  ASSERT_EQ(::mkdir(file("shared").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(file("shared").c_str(), 01777), 0);
  for (const char* target : {"victim", "fresh"}) {
    const std::string link = file("shared/out.tc");
    ASSERT_EQ(::symlink(file(target).c_str(), link.c_str()), 0);
    ASSERT_EQ(::lchown(link.c_str(), kNobody, kNobody), 0);
    JobReport report;
    EXPECT_FALSE(transformFile(file("src"), link, kKey, true, true, &report)) << target;
    ASSERT_EQ(::unlink(link.c_str()), 0);
  }
  EXPECT_EQ(test::readFile(file("victim")), "precious");
  EXPECT_EQ(test::entries(file("shared")), std::set<std::string>{});
  expectNoStrayFiles({"src", "victim", "shared"});
}

TEST_F(JobTest, TakesADestinationOfAnyValidLength) {
  // Directories of 200 characters down to a path of exactly 4095 bytes, the
  // longest the system takes: the hidden file beside it is longer still.
  std::string path = files();
  while (path.size() + 1 + 200 + 1 + 60 < 4095) {
    path += "/" + std::string(200, 'd');
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << std::strerror(errno);
  }
  path += "/" + std::string(4095 - path.size() - 1, 'f');
  ASSERT_EQ(path.size(), 4095u);
  test::writeFile(file("src"), "source");
  ASSERT_TRUE(transformFile(file("src"), path, kKey, true, true));
  ASSERT_TRUE(transformFile(file("src"), path, kKey, true, true));  // replacing it
  EXPECT_EQ(test::readFile(path), test::expectedTransform("source", kKey, true));
}

}  // namespace
}  // namespace talvek
