// What the next start does with the journal of a job that died while it
// wrote a file in place: puts the old bytes back when the journal is whole
// and the file is still that file, keeps them as a plain file when not, and
// leaves alone what another process still uses or others could have made.
#include "job/interrupted_jobs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "job/journal_record.h"
#include "job/transform_file.h"
#include "job_test_support.h"
#include "platform/posix/unique_fd.h"

namespace talvek {
namespace {

using Outcome = InterruptedJob::Outcome;

constexpr char kKey[] = "journal key";

class InterruptedJobTest : public test::JobTest {
 protected:
  const std::string data_ = test::patternBytes(1u << 20);
  const std::string old_ = test::patternBytes(300001, 9);

  void SetUp() override {
    JobTest::SetUp();
    test::writeFile(file("src"), data_);
  }

  // dst afresh, with a second name, write-protected and long unchanged: the
  // job makes it writable, and putting it back restores both.
  void makeDestination() {
    test::writeFile(file("dst.tmp"), old_);
    ASSERT_EQ(::rename(file("dst.tmp").c_str(), file("dst").c_str()), 0);
    ::unlink(file("dst2").c_str());
    ASSERT_EQ(::link(file("dst").c_str(), file("dst2").c_str()), 0);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file("dst").c_str(), old, 0), 0);
    ASSERT_EQ(::chmod(file("dst").c_str(), 0444), 0);
  }

  // Kills an in-place job over dst once it has written its first buffer.
  void crashMidJob() {
    const int status = test::runInChild([&] {
      transformFile(file("src"), file("dst"), kKey, true, true, nullptr,
                    [](uint64_t done, uint64_t) {
                      if (done > 0) ::raise(SIGKILL);
                      return true;
                    });
      return 0;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_NE(test::readFile(file("dst")), old_) << "the job did not get as far as writing";
  }

  std::string journal() const {
    const std::set<std::string> names = test::entries(journals());
    EXPECT_EQ(names.size(), 1u);
    return names.empty() ? std::string() : journals() + "/" + *names.begin();
  }

  // The destination as a journal names it, even once it is gone.
  std::string recordedDestination() const {
    char resolved[PATH_MAX];
    return std::string(::realpath(files().c_str(), resolved)) + "/dst";
  }
};

// The files a case may meddle with.
struct Where {
  std::string dst;
  std::string dst2;
  std::string spare;  // a free name beside them
  std::string journal;
  std::string journals;
};

struct Case {
  const char* name;
  // What happens between the crash and the next start; may hold things open
  // for as long as the returned object lives.
  std::function<std::shared_ptr<void>(const Where&)> meanwhile;
  int reported;  // 0: nothing said; 1: one file
  Outcome outcome;
  bool restored;      // dst has its old bytes, mode and time again
  bool keptOldBytes;  // the kept copy holds exactly the old bytes
};

std::shared_ptr<void> nothing(const Where&) {
  return nullptr;
}

// Flips one byte of a file at `fromEnd` bytes before its end.
void flipByte(const std::string& path, off_t fromEnd) {
  const UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  struct stat st;
  ASSERT_EQ(::fstat(fd.get(), &st), 0);
  char byte = 0;
  ASSERT_EQ(::pread(fd.get(), &byte, 1, st.st_size - fromEnd), 1);
  byte = static_cast<char>(byte ^ 0x40);
  ASSERT_EQ(::pwrite(fd.get(), &byte, 1, st.st_size - fromEnd), 1);
}

// Holds an exclusive lock on a file, as a running job would.
std::shared_ptr<void> holdLock(const std::string& path) {
  auto fd = std::make_shared<UniqueFd>(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(::flock(fd->get(), LOCK_EX | LOCK_NB), 0);
  return fd;
}

TEST_F(InterruptedJobTest, PutsBackOnlyWhatItCanTrust) {
  const Case cases[] = {
      {"as the crash left it", nothing, 1, Outcome::Restored, true, false},
      {"the file replaced since",
       [](const Where& w) {
         test::writeFile(w.spare, "someone else's");
         EXPECT_EQ(::rename(w.spare.c_str(), w.dst.c_str()), 0);
         return std::shared_ptr<void>();
       },
       1, Outcome::FileReplaced, false, true},
      {"the file removed",
       [](const Where& w) {
         ::unlink(w.dst.c_str());
         ::unlink(w.dst2.c_str());
         return std::shared_ptr<void>();
       },
       1, Outcome::FileReplaced, false, true},
      {"a byte of the copy flipped",
       [](const Where& w) {
         flipByte(w.journal, 100000);
         return std::shared_ptr<void>();
       },
       1, Outcome::CopyDamaged, false, false},
      {"its record damaged",
       [](const Where& w) {
         flipByte(w.journal, static_cast<off_t>(kJournalTailSize) + 10);
         return std::shared_ptr<void>();
       },
       1, Outcome::CopyDamaged, false, false},
      {"its job still running", [](const Where& w) { return holdLock(w.journal); }, 0,
       Outcome::Restored, false, false},
      {"another job writing the file now", [](const Where& w) { return holdLock(w.dst); }, 0,
       Outcome::Restored, false, false},
      {"the directory open to others",
       [](const Where& w) {
         EXPECT_EQ(::chmod(w.journals.c_str(), 0777), 0);
         return std::shared_ptr<void>();
       },
       0, Outcome::Restored, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    makeDestination();
    removeJournals();
    crashMidJob();
    const std::string journalPath = journal();
    const std::string mixed = test::readFile(file("dst"));

    std::vector<InterruptedJob> jobs;
    {
      const std::shared_ptr<void> held =
          c.meanwhile(Where{file("dst"), file("dst2"), file("spare"), journalPath, journals()});
      jobs = recoverInterruptedJobs(journals());
    }
    ASSERT_EQ(jobs.size(), static_cast<size_t>(c.reported));
    if (c.reported == 0) {
      // Left for a later start, exactly as it was.
      EXPECT_TRUE(test::pathExists(journalPath));
      ::chmod(journals().c_str(), 0700);
      EXPECT_TRUE(test::readFile(file("dst")) == mixed);
      continue;
    }
    const InterruptedJob& job = jobs.front();
    EXPECT_EQ(job.outcome, c.outcome);
    // A damaged record cannot say which file it was.
    EXPECT_EQ(job.file, std::string(c.name) == "its record damaged" ? "" : recordedDestination());
    struct stat st {};
    if (c.restored) {
      EXPECT_TRUE(test::readFile(file("dst")) == old_);
      EXPECT_TRUE(test::readFile(file("dst2")) == old_);
      ASSERT_EQ(::stat(file("dst").c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0444u);
      EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
      EXPECT_EQ(job.keptCopy, "");
      EXPECT_EQ(test::entries(journals()), std::set<std::string>{});
    } else {
      // Never applied: the file is as it was found, its old bytes beside the
      // journals as a plain file, and no journal left to try again.
      if (c.outcome == Outcome::CopyDamaged) {
        EXPECT_TRUE(test::readFile(file("dst")) == mixed);
      }
      ASSERT_NE(job.keptCopy, "");
      EXPECT_EQ(test::entries(journals()),
                std::set<std::string>{job.keptCopy.substr(journals().size() + 1)});
      if (c.keptOldBytes) {
        EXPECT_TRUE(test::readFile(job.keptCopy) == old_);
      }
      ::unlink(job.keptCopy.c_str());
    }
  }
}

TEST_F(InterruptedJobTest, RemovesJournalsWhoseJobNeverTouchedItsFile) {
  // A journal zeroed by its job's end, and one never sealed: nothing to say.
  makeDestination();
  crashMidJob();
  const std::string sealed = journal();
  ASSERT_EQ(::truncate(sealed.c_str(), 0), 0);
  ASSERT_EQ(::truncate(sealed.c_str(), 4096), 0);
  test::writeFile(journals() + "/job-abcdef.partial", "half a copy");
  EXPECT_TRUE(recoverInterruptedJobs(journals()).empty());
  EXPECT_EQ(test::entries(journals()), std::set<std::string>{});
  // Nothing there at all is nothing to do.
  removeJournals();
  EXPECT_TRUE(recoverInterruptedJobs(journals()).empty());
}

}  // namespace
}  // namespace talvek
