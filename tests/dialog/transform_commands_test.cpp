#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "dialog/job_failure_text.h"
#include "dialog/window_constants.h"
#include "child_process.h"
#include "dialog_fixture.h"

namespace talvek::test {
namespace {

constexpr char kPlainBytes[] = "plain text\r\n\0\x1A\xFF bytes";
const std::string kPlain(kPlainBytes, sizeof(kPlainBytes) - 1);
const std::string kQuestion = message("Warning", 0x134, "Destination file exists.\nOverwrite it?");

class TransformCommandsTest : public DialogTest {
 protected:
  // The cursor is back and nothing else happened after the refusal.
  void expectRefusedWith(CommandResult result, const std::string& shownMessage) {
    EXPECT_EQ(result, CommandResult::Refused);
    EXPECT_EQ(shown(), std::vector<std::string>{shownMessage});
    EXPECT_FALSE(window_.waitCursorShown());
    EXPECT_TRUE(window_.beeps.empty());
  }
};

TEST_F(TransformCommandsTest, EncodeThenDecodeWithAPasswordGivesTheSourceBack) {
  const std::string source = dir_.file("report.doc");
  writeFile(source, kPlain);
  usePasswords("pass word", "pass word");
  setPaths(source, source + ".tc");
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Done);
  EXPECT_EQ(readFile(source + ".tc").size(), kPlain.size());
  EXPECT_NE(readFile(source + ".tc"), kPlain);

  setPaths(source + ".tc", dir_.file("back"));
  EXPECT_EQ(dialog_->onDecode(), CommandResult::Done);
  EXPECT_EQ(readFile(dir_.file("back")), kPlain);

  EXPECT_TRUE(window_.messages.empty());
  EXPECT_EQ(window_.beeps, (std::vector<unsigned>{MB_ICONASTERISK, MB_ICONASTERISK}));
  EXPECT_EQ(window_.events,
            (std::vector<std::string>{"wait", "restore", "beep", "wait", "restore", "beep"}));
}

TEST_F(TransformCommandsTest, KeyFileRoundTripInPlace) {
  const std::string key = dir_.file("k.mk");
  writeFile(key, "morva key");
  const std::string file = dir_.file("data.bin");
  writeFile(file, kPlain);
  useKeyFile(key);
  setPaths(file, file);
  window_.answers = {IDYES, IDYES};
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Done);
  const std::string encoded = readFile(file);
  EXPECT_NE(encoded, kPlain);
  EXPECT_EQ(dialog_->onDecode(), CommandResult::Done);
  EXPECT_EQ(readFile(file), kPlain);
  EXPECT_EQ(shown(), (std::vector<std::string>{kQuestion, kQuestion}));

  // The same key text typed as a password pair encodes alike.
  usePasswords("morva key\n", "morva key\n");
  setPaths(file, dir_.file("typed.tc"));
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Done);
  EXPECT_EQ(readFile(dir_.file("typed.tc")), encoded);
}

TEST_F(TransformCommandsTest, TheKeyIsCheckedBeforeAnyPath) {
  usePasswords("one", "two");
  setPaths(dir_.file("missing"), dir_.path());
  expectRefusedWith(
      dialog_->onEncode(),
      message("Warning", 0x30, "<Password #1> and <Password #2> are not acceptable!"));
}

TEST_F(TransformCommandsTest, SourcesThatAreNotRegularFilesAreRefused) {
  usePasswords("secret", "secret");
  for (const std::string& source : {std::string(), dir_.file("missing"), dir_.path()}) {
    window_.messages.clear();
    // The destination is not looked at: it would have asked a question.
    writeFile(dir_.file("exists"), "x");
    setPaths(source, dir_.file("exists"));
    expectRefusedWith(dialog_->onDecode(), message("Warning", 0x30, "Invalid source!"));
  }
}

TEST_F(TransformCommandsTest, DestinationsThatCannotBeCreatedAreRefused) {
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  for (const std::string& destination : {dir_.path(), dir_.file("no/such/dir"), std::string()}) {
    window_.messages.clear();
    setPaths(dir_.file("in"), destination);
    expectRefusedWith(dialog_->onEncode(), message("Warning", 0x30, "Invalid destination!"));
  }
}

TEST_F(TransformCommandsTest, NoKeepsAnExistingDestinationUntouched) {
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  writeFile(dir_.file("out"), "keep me");
  ::chmod(dir_.file("out").c_str(), 0444);
  setPaths(dir_.file("in"), dir_.file("out"));
  window_.answers.push_back(IDNO);
  expectRefusedWith(dialog_->onEncode(), kQuestion);
  EXPECT_EQ(readFile(dir_.file("out")), "keep me");
  struct stat st;
  ASSERT_EQ(::stat(dir_.file("out").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u) << "attributes change only after Yes";
}

TEST_F(TransformCommandsTest, YesReplacesAReadOnlyDestination) {
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  writeFile(dir_.file("out"), "old");
  ::chmod(dir_.file("out").c_str(), 0444);
  setPaths(dir_.file("in"), dir_.file("out"));
  window_.answers.push_back(IDYES);
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Done);
  EXPECT_EQ(readFile(dir_.file("out")).size(), kPlain.size());
  EXPECT_EQ(window_.events, (std::vector<std::string>{"wait", "message", "restore", "beep"}));
}

TEST_F(TransformCommandsTest, TheKeyFileInUseIsNeverADestination) {
  const std::string key = dir_.file("k.mk");
  writeFile(key, "morva key");
  writeFile(dir_.file("in"), kPlain);
  ASSERT_EQ(::symlink(key.c_str(), dir_.file("link.mk").c_str()), 0);
  useKeyFile(key);
  for (const std::string& destination : {key, dir_.path() + "/./k.mk", dir_.file("link.mk")}) {
    window_.messages.clear();
    setPaths(dir_.file("in"), destination);
    expectRefusedWith(dialog_->onEncode(), message("Warning", 0x30, "Invalid destination!"));
  }
  EXPECT_EQ(readFile(key), "morva key");

  // With passwords it is just another existing file.
  usePasswords("secret", "secret");
  window_.messages.clear();
  window_.answers.push_back(IDNO);
  setPaths(dir_.file("in"), key);
  expectRefusedWith(dialog_->onEncode(), kQuestion);
}

TEST_F(TransformCommandsTest, AFailedJobRestoresTheCursorBeepsAndSaysWhatFailed) {
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  setPaths(dir_.file("in"), dir_.file("out"));
  JobReport next;
  bool sawEncode = false;
  dialog_->setTransformJob([&](std::string source, std::string destination, std::string key,
                               bool encode, bool overwrite, JobReport* report, const JobProgress&) {
    EXPECT_EQ(source, dir_.file("in"));
    EXPECT_EQ(destination, dir_.file("out"));
    EXPECT_EQ(key, "secret");
    EXPECT_TRUE(overwrite);
    EXPECT_TRUE(window_.waitCursorShown());
    sawEncode = encode;
    *report = next;
    return false;
  });

  std::set<std::string> texts;
  for (JobFailure failure :
       {JobFailure::SourceInvalid, JobFailure::DestinationInvalid, JobFailure::DestinationBusy,
        JobFailure::EmptyKey, JobFailure::WorkingCopy, JobFailure::ReadFailed,
        JobFailure::WriteFailed, JobFailure::SourceChanged}) {
    window_.messages.clear();
    window_.events.clear();
    next = JobReport{};
    next.failure = failure;
    EXPECT_EQ(dialog_->onDecode(), CommandResult::Failed);
    EXPECT_FALSE(sawEncode);
    EXPECT_EQ(window_.events, (std::vector<std::string>{"wait", "restore", "beep", "message"}));
    ASSERT_EQ(window_.messages.size(), 1u);
    EXPECT_EQ(window_.messages[0].caption, "Warning");
    EXPECT_EQ(window_.messages[0].flags, 0x30u);
    texts.insert(window_.messages[0].text);
  }
  EXPECT_EQ(texts.size(), 8u) << "each failure has its own text";

  next.failure = JobFailure::WriteFailed;
  next.path = dir_.file("out");
  next.why = Status::failure("write", dir_.file("out"), ENOSPC);
  next.keptCopy = "/tmp/abcdefgh.ijk";
  window_.messages.clear();
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Failed);
  EXPECT_TRUE(sawEncode);
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, jobFailureText(next));
  EXPECT_NE(window_.messages[0].text.find("/tmp/abcdefgh.ijk"), std::string::npos);
  EXPECT_NE(window_.messages[0].text.find(": No space left on device)"), std::string::npos);

  // A stop the user asked for ends quietly.
  next = JobReport{};
  next.failure = JobFailure::Stopped;
  window_.messages.clear();
  window_.events.clear();
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Stopped);
  EXPECT_EQ(window_.events, (std::vector<std::string>{"wait", "restore", "beep"}));

  // Success that could not keep the old file's attributes says so.
  next = JobReport{};
  next.attributesLost = Status::failure("setxattr", dir_.file("out"), EPERM);
  dialog_->setTransformJob([&](std::string, std::string, std::string, bool, bool, JobReport* report,
                               const JobProgress&) {
    *report = next;
    return true;
  });
  window_.messages.clear();
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Done);
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, attributesLostText(next));

  // So does one that could not remove its journal.
  next = JobReport{};
  next.leftOver = Status::failure("remove", "/state/job-x.journal", EACCES);
  window_.messages.clear();
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Done);
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text,
            "The job's journal, zeroed, could not be removed:\n/state/job-x.journal (Permission "
            "denied)");
}

TEST_F(TransformCommandsTest, AnOrdinaryUserReplacesAReadOnlyDestinationAfterYes) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  // Root may write anything: only an ordinary user shows that the command
  // makes the destination writable for the job.
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  writeFile(dir_.file("out"), "old");
  for (const char* name : {"", "in", "out"}) {
    ASSERT_EQ(::chown(dir_.file(name).c_str(), kNobody, kNobody), 0) << name;
  }
  ASSERT_EQ(::chmod(dir_.file("out").c_str(), 0444), 0);
  setPaths(dir_.file("in"), dir_.file("out"));
  window_.answers.push_back(IDYES);
  const int status = runInChild([&] {
    if (!becomeNobody()) return 90;
    return static_cast<int>(dialog_->onEncode());
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(CommandResult::Done));
  EXPECT_EQ(readFile(dir_.file("out")).size(), kPlain.size());
  EXPECT_NE(readFile(dir_.file("out")), "old");
}

TEST_F(TransformCommandsTest, LeavesTheDestinationsModeToTheJob) {
  // Only the job changes a write-protected destination's mode, through a
  // descriptor of the very file it writes: the command never does by name.
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  writeFile(dir_.file("out"), "old");
  ASSERT_EQ(::chmod(dir_.file("out").c_str(), 0444), 0);
  setPaths(dir_.file("in"), dir_.file("out"));
  mode_t modeDuringJob = 0;
  dialog_->setTransformJob([&](std::string, std::string destination, std::string, bool, bool,
                               JobReport* report, const JobProgress&) {
    struct stat st;
    if (::stat(destination.c_str(), &st) == 0) modeDuringJob = st.st_mode & 07777;
    report->failure = JobFailure::WriteFailed;
    return false;
  });
  window_.answers.push_back(IDYES);
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Failed);
  EXPECT_EQ(modeDuringJob, 0444u);
  struct stat st;
  ASSERT_EQ(::stat(dir_.file("out").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

TEST_F(TransformCommandsTest, ALinkSwappedDuringAFailedJobGetsNoModeFromTheOtherFile) {
  // The destination is a link to a wide-open file when the command looks,
  // and to a private one when the job has failed: nothing may carry the
  // first file's mode over to the second.
  usePasswords("secret", "secret");
  writeFile(dir_.file("src"), kPlain);
  writeFile(dir_.file("open"), "open");
  ASSERT_EQ(::chmod(dir_.file("open").c_str(), 0777), 0);
  writeFile(dir_.file("private"), "private");
  ASSERT_EQ(::chmod(dir_.file("private").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(dir_.file("open").c_str(), dir_.file("out.tc").c_str()), 0);
  setPaths(dir_.file("src"), dir_.file("out.tc"));
  dialog_->setTransformJob([&](std::string, std::string, std::string, bool, bool,
                               JobReport* report, const JobProgress&) {
    ::unlink(dir_.file("out.tc").c_str());
    EXPECT_EQ(::symlink(dir_.file("private").c_str(), dir_.file("out.tc").c_str()), 0);
    report->failure = JobFailure::WriteFailed;
    return false;
  });
  window_.answers.push_back(IDYES);
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Failed);
  struct stat st;
  ASSERT_EQ(::stat(dir_.file("private").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(TransformCommandsTest, ALinkFlippedUnderTheCommandNeverChangesAFileItShouldNot) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, the user an attacker aims at";
  // Another user flips out.tc between a link to a file of theirs, wide open,
  // and a link to root's private file, while root encodes onto out.tc. In a
  // directory of theirs the link is followed (root may write through it, as
  // asked), but root's file never gets the other file's mode or owner; in a
  // sticky, world-writable directory it is never followed at all.
  usePasswords("secret", "secret");
  writeFile(dir_.file("src"), kPlain);
  writeFile(dir_.file("victim"), "root's own");
  ASSERT_EQ(::chmod(dir_.file("victim").c_str(), 0600), 0);
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  struct Place {
    const char* name;
    mode_t mode;
    uid_t owner;
    bool contentMayChange;
  };
  for (const Place& place : {Place{"theirs", 0755, kNobody, true}, Place{"sticky", 01777, 0, false}}) {
    SCOPED_TRACE(place.name);
    const std::string dir = dir_.file(place.name);
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(::chown(dir.c_str(), place.owner, place.owner), 0);
    ASSERT_EQ(::chmod(dir.c_str(), place.mode), 0);
    const std::string open = dir + "/open";
    writeFile(open, "theirs");
    ASSERT_EQ(::chown(open.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    const std::string out = dir + "/out.tc";
    const std::string victim = dir_.file("victim");
    {
      const BackgroundChild flipper([&] {
        if (!becomeNobody()) return;
        const std::string spare = dir + "/spare";
        for (unsigned i = 0;; ++i) {
          ::unlink(spare.c_str());
          if (::symlink(i % 2 == 0 ? victim.c_str() : open.c_str(), spare.c_str()) == 0) {
            ::rename(spare.c_str(), out.c_str());
          }
        }
      });
      for (int run = 0; run < 100; ++run) {
        window_.answers.push_back(IDYES);
        setPaths(dir_.file("src"), out);
        (void)dialog_->onEncode();
        window_.answers.clear();
        struct stat st;
        ASSERT_EQ(::stat(victim.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << "run " << run;
        EXPECT_EQ(st.st_uid, 0u) << "run " << run;
        if (!place.contentMayChange) {
          EXPECT_EQ(readFile(victim), "root's own") << "run " << run;
        }
      }
    }
    writeFile(victim, "root's own");
  }
}

TEST_F(TransformCommandsTest, ADestinationThatAppearsDuringTheJobIsAskedAbout) {
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  setPaths(dir_.file("in"), dir_.file("out"));
  int runs = 0;
  dialog_->setTransformJob([&](std::string, std::string, std::string key, bool, bool,
                               JobReport* report, const JobProgress&) {
    EXPECT_EQ(key, "secret") << "each run has the key";
    // Someone else's file took the name before the first run could.
    if (++runs == 1) {
      report->failure = JobFailure::DestinationExists;
      return false;
    }
    *report = JobReport{};
    return true;
  });
  // Yes runs the job again, over the file that is there now.
  window_.answers.push_back(IDYES);
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Done);
  EXPECT_EQ(runs, 2);
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, "Destination file exists.\nOverwrite it?");
  EXPECT_EQ(window_.messages[0].flags, 0x134u);
  // No keeps it and ends the command as a No before the job would.
  runs = 0;
  window_.messages.clear();
  window_.events.clear();
  window_.answers.push_back(IDNO);
  EXPECT_EQ(dialog_->onEncode(), CommandResult::Refused);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.events, (std::vector<std::string>{"wait", "message", "restore"}));
}

TEST_F(TransformCommandsTest, ARealJobThatCannotWriteIsReportedAndChangesNothing) {
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), kPlain);
  writeFile(dir_.file("out"), "old");
  setPaths(dir_.file("in"), dir_.file("out"));
  window_.answers.push_back(IDYES);
  CommandResult result;
  {
    FileSizeLimit limit(8);
    result = dialog_->onEncode();
  }
  EXPECT_EQ(result, CommandResult::Failed);
  EXPECT_EQ(window_.events,
            (std::vector<std::string>{"wait", "message", "restore", "beep", "message"}));
  EXPECT_EQ(window_.messages.back().flags, 0x30u);
  EXPECT_EQ(readFile(dir_.file("out")), "old");
}

}  // namespace
}  // namespace talvek::test
