// The job on Windows keeps the promises it keeps on Linux: the complete
// transform or the old bytes, never a stray file, a destination that
// appears or changes meanwhile left alone, and a file another program holds
// left intact with the system's reason.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "job/interrupted_jobs.h"
#include "job/journal.h"
#include "job/transform_file.h"
#include "job/transform_stream.h"
#include "job_test_support.h"
#include "platform/directory.h"
#include "windows_test_support.h"

namespace talvek::test {
namespace {

constexpr char kKey[] = "Morva~Key";
// Ctrl+Z and CR LF, which a text-mode stream would stop at or turn.
const std::string kData = "line\r\none\x1A" + patternBytes(300000) + "\r\n";

class Win32JobTest : public JobTest {
 protected:
  std::string encoded(const std::string& data = kData) const {
    return expectedTransform(data, kKey, true);
  }
  bool run(const std::string& source, const std::string& destination, JobReport* report,
           const JobProgress& progress = {}) {
    return transformFile(file(source), file(destination), kKey, true, true, report, progress);
  }
};

struct CommitCase {
  const char* name;
  const char* oldDestination;  // null: none
};

void PrintTo(const CommitCase& c, std::ostream* out) {
  *out << c.name;
}

class Win32JobCommit : public Win32JobTest, public ::testing::WithParamInterface<CommitCase> {};

TEST_P(Win32JobCommit, TheDestinationHoldsTheTransformAndNothingIsLeft) {
  writeFile(file("source"), kData);
  if (GetParam().oldDestination != nullptr) writeFile(file("dest.tc"), GetParam().oldDestination);
  JobReport report;
  ASSERT_TRUE(run("source", "dest.tc", &report)) << report.why.toString();
  EXPECT_EQ(readFile(file("dest.tc")), encoded());
  EXPECT_TRUE(report.attributesLost.ok()) << report.attributesLost.toString();
  // The hidden name it was written under is gone, and so is the attribute.
  EXPECT_EQ(attributesOf(file("dest.tc")) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);
  expectNoStrayFiles({"source", "dest.tc"});
}

INSTANTIATE_TEST_SUITE_P(Destinations, Win32JobCommit,
                         ::testing::Values(CommitCase{"new", nullptr},
                                           CommitCase{"existing", "old bytes"},
                                           CommitCase{"emptyExisting", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32JobTest, TheSourceItselfIsReplacedByItsTransform) {
  writeFile(file("file"), kData);
  JobReport report;
  ASSERT_TRUE(run("file", "file", &report)) << report.why.toString();
  EXPECT_EQ(readFile(file("file")), encoded());
  ASSERT_TRUE(transformFile(file("file"), file("file"), kKey, false, true, &report))
      << report.why.toString();
  EXPECT_EQ(readFile(file("file")), kData);
  expectNoStrayFiles({"file"});
}

TEST_F(Win32JobTest, ADestinationThatAppearsMeanwhileIsNotReplaced) {
  writeFile(file("source"), kData);
  JobReport report;
  EXPECT_FALSE(run("source", "dest.tc", &report,
                   changingOnceUnderway([this] { writeFile(file("dest.tc"), "theirs"); })));
  EXPECT_EQ(report.failure, JobFailure::DestinationExists);
  EXPECT_EQ(readFile(file("dest.tc")), "theirs");
  expectNoStrayFiles({"source", "dest.tc"});
}

TEST_F(Win32JobTest, ADestinationReplacedMeanwhileIsNotReplaced) {
  writeFile(file("source"), kData);
  writeFile(file("dest.tc"), "checked");
  JobReport report;
  EXPECT_FALSE(run("source", "dest.tc", &report, changingOnceUnderway([this] {
                     writeFile(file("theirs"), "theirs");
                     ASSERT_TRUE(::MoveFileExW(widePath(file("theirs")).c_str(),
                                               widePath(file("dest.tc")).c_str(),
                                               MOVEFILE_REPLACE_EXISTING));
                   })));
  EXPECT_EQ(report.failure, JobFailure::DestinationExists);
  EXPECT_EQ(readFile(file("dest.tc")), "theirs");
  expectNoStrayFiles({"source", "dest.tc"});
}

struct SharingCase {
  const char* name;
  bool hardLinked;  // written in place
};

void PrintTo(const SharingCase& c, std::ostream* out) {
  *out << c.name;
}

class Win32JobSharing : public Win32JobTest, public ::testing::WithParamInterface<SharingCase> {};

TEST_P(Win32JobSharing, ADestinationAnotherProgramHoldsFailsWithTheSystemsReasonAndLosesNothing) {
  writeFile(file("source"), kData);
  writeFile(file("dest.tc"), "old bytes");
  std::set<std::string> names = {"source", "dest.tc"};
  if (GetParam().hardLinked) {
    ASSERT_TRUE(hardLink(file("dest.tc"), file("link.tc")));
    names.insert("link.tc");
  }
  HeldOpen other(file("dest.tc"), GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(other.valid());
  JobReport report;
  EXPECT_FALSE(run("source", "dest.tc", &report));
  EXPECT_EQ(report.failure, JobFailure::WriteFailed);
  EXPECT_EQ(report.path, file("dest.tc"));
  EXPECT_FALSE(report.why.ok());
  EXPECT_FALSE(report.why.reason().empty());
  EXPECT_TRUE(report.keptCopy.empty());
  other.close();
  EXPECT_EQ(readFile(file("dest.tc")), "old bytes");
  expectNoStrayFiles(names);
}

INSTANTIATE_TEST_SUITE_P(Paths, Win32JobSharing,
                         ::testing::Values(SharingCase{"renamed", false},
                                           SharingCase{"inPlace", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32JobTest, AReplacedDestinationKeepsItsAttributesAndAccessList) {
  writeFile(file("source"), kData);
  writeFile(file("dest.tc"), "old bytes");
  ASSERT_TRUE(setAttributesOf(file("dest.tc"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(setOwnAccessList(file("dest.tc")));
  const std::string accessList = accessListOf(file("dest.tc"));
  ASSERT_FALSE(accessList.empty());
  JobReport report;
  ASSERT_TRUE(run("source", "dest.tc", &report)) << report.why.toString();
  EXPECT_EQ(readFile(file("dest.tc")), encoded());
  const DWORD attributes = attributesOf(file("dest.tc"));
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_SYSTEM, 0u);
  EXPECT_EQ(accessListOf(file("dest.tc")), accessList);
  EXPECT_TRUE(report.attributesLost.ok()) << report.attributesLost.toString();
  expectNoStrayFiles({"source", "dest.tc"});
}

TEST_F(Win32JobTest, AFileWithSeveralNamesIsWrittenWhereItStands) {
  writeFile(file("source"), kData);
  writeFile(file("dest.tc"), "old bytes");
  ASSERT_TRUE(hardLink(file("dest.tc"), file("link.tc")));
  FileInfo before;
  ASSERT_TRUE(infoOfPath(file("dest.tc"), true, &before).ok());
  JobReport report;
  ASSERT_TRUE(run("source", "dest.tc", &report)) << report.why.toString();
  EXPECT_EQ(readFile(file("dest.tc")), encoded());
  EXPECT_EQ(readFile(file("link.tc")), encoded());
  FileInfo after;
  ASSERT_TRUE(infoOfPath(file("link.tc"), true, &after).ok());
  EXPECT_EQ(after.identity, before.identity);
  expectNoStrayFiles({"source", "dest.tc", "link.tc"});
}

TEST_F(Win32JobTest, TheSourceWithSeveralNamesIsWrittenWhereItStands) {
  writeFile(file("file"), kData);
  ASSERT_TRUE(hardLink(file("file"), file("link")));
  JobReport report;
  ASSERT_TRUE(run("file", "file", &report)) << report.why.toString();
  EXPECT_EQ(readFile(file("link")), encoded());
  expectNoStrayFiles({"file", "link"});
}

TEST_F(Win32JobTest, AStoppedJobInPlacePutsTheOldBytesBack) {
  writeFile(file("source"), kData);
  const std::string old = patternBytes(100000, 3);
  writeAgedFile(file("dest.tc"), old);
  ASSERT_TRUE(hardLink(file("dest.tc"), file("link.tc")));
  FileInfo before;
  ASSERT_TRUE(infoOfPath(file("dest.tc"), true, &before).ok());
  JobReport report;
  // Stopped at the last moment: every byte written in place by then.
  EXPECT_FALSE(run("source", "dest.tc", &report,
                   [](uint64_t done, uint64_t total) { return done < total; }));
  EXPECT_EQ(report.failure, JobFailure::Stopped);
  EXPECT_EQ(readFile(file("link.tc")), old);
  FileInfo after;
  ASSERT_TRUE(infoOfPath(file("dest.tc"), true, &after).ok());
  EXPECT_EQ(after.modified, before.modified);
  EXPECT_TRUE(report.keptCopy.empty());
  expectNoStrayFiles({"source", "dest.tc", "link.tc"});
}

TEST_F(Win32JobTest, TheNextStartRemovesTheUnsealedJournalOfAKilledJob) {
  // What a job killed while it copied the old bytes leaves: no unnamed
  // files here, so a ".partial" journal.
  PrivateDirectory directory;
  ASSERT_TRUE(directory.open(journals(), /*create=*/true).ok());
  writeFile(journals() + "/job-AbC123.partial", patternBytes(5000));
  writeFile(journals() + "/unrelated", "kept");
  EXPECT_TRUE(recoverInterruptedJobs().empty());
  EXPECT_EQ(entries(journals()), std::set<std::string>{"unrelated"});
}

// Feeds `data` into a pipe from a thread of its own, as another program would.
class PipeFeed {
 public:
  explicit PipeFeed(const std::string& data) {
    EXPECT_TRUE(::CreatePipe(&read_, &write_, nullptr, 0));
    writer_ = std::thread([this, data] {
      DWORD written = 0;
      for (size_t at = 0; at < data.size(); at += written) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(data.size() - at, 65536));
        if (!::WriteFile(write_, data.data() + at, piece, &written, nullptr)) break;
      }
      ::CloseHandle(write_);
    });
  }
  ~PipeFeed() {
    writer_.join();
    ::CloseHandle(read_);
  }
  NativeFile readEnd() const { return reinterpret_cast<NativeFile>(read_); }

 private:
  HANDLE read_ = nullptr;
  HANDLE write_ = nullptr;
  std::thread writer_;
};

// Collects all a pipe gives, on a thread of its own.
class PipeDrain {
 public:
  PipeDrain() {
    EXPECT_TRUE(::CreatePipe(&read_, &write_, nullptr, 0));
    reader_ = std::thread([this] {
      char buffer[65536];
      DWORD got = 0;
      while (::ReadFile(read_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes_.append(buffer, got);
      }
    });
  }
  ~PipeDrain() { finish(); }
  NativeFile writeEnd() const { return reinterpret_cast<NativeFile>(write_); }
  const std::string& finish() {
    if (write_ != nullptr) ::CloseHandle(write_);
    write_ = nullptr;
    if (reader_.joinable()) reader_.join();
    if (read_ != nullptr) ::CloseHandle(read_);
    read_ = nullptr;
    return bytes_;
  }

 private:
  HANDLE read_ = nullptr;
  HANDLE write_ = nullptr;
  std::thread reader_;
  std::string bytes_;
};

TEST_F(Win32JobTest, PipesCarryTheSameBytesAsFiles) {
  {
    PipeFeed in(kData);
    PipeDrain out;
    JobReport report;
    ASSERT_TRUE(transformStream({in.readEnd(), "standard input"},
                                {out.writeEnd(), "standard output"}, kKey, true, &report))
        << report.why.toString();
    EXPECT_EQ(out.finish(), encoded());
  }
  {
    PipeFeed in(kData);
    JobReport report;
    ASSERT_TRUE(transformStreamToFile({in.readEnd(), "standard input"}, file("dest.tc"), kKey, true,
                                      false, &report))
        << report.why.toString();
    EXPECT_EQ(readFile(file("dest.tc")), encoded());
  }
  {
    writeFile(file("source"), kData);
    PipeDrain out;
    JobReport report;
    ASSERT_TRUE(transformFileToStream(file("source"), {out.writeEnd(), "standard output"}, kKey,
                                      true, &report))
        << report.why.toString();
    EXPECT_EQ(out.finish(), encoded());
  }
  expectNoStrayFiles({"source", "dest.tc"});
}

}  // namespace
}  // namespace talvek::test
