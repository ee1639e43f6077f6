#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "dialog/destination_rule.h"
#include "dialog/job_failure_text.h"
#include "dialog/start_up.h"
#include "dialog/window_constants.h"
#include "child_process.h"
#include "dialog_fixture.h"
#include "job/transform_file.h"

namespace talvek::test {
namespace {

TEST(DestinationForSourceTest, DropsTheLastTcOfAnEncodedFileAndAddsOneToAnyOther) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\in\\file.tc", "C:\\in\\file"},
      {"C:\\in\\FILE.TC", "C:\\in\\FILE"},
      {"C:\\in\\notes.txt", "C:\\in\\notes.txt.tc"},
      {"C:\\in\\archive.tc.tc", "C:\\in\\archive.tc"},
      {"C:\\x.tc\\plain", "C:\\x.tc\\plain.tc"},
      {"/x.tc/plain", "/x.tc/plain.tc"},
      {"C:\\Data\\x.tcx", "C:\\Data\\x.tcx.tc"},
      {"C:\\Data\\name.", "C:\\Data\\name..tc"},
      {"/data/report.doc.Tc", "/data/report.doc"},
      {"/data/file.tc ", "/data/file"},  // the extension is trimmed
      {"", ".tc"},
  };
  for (const auto& [source, destination] : cases) {
    EXPECT_EQ(destinationForSource(source), destination) << source;
  }
}

TEST(StartUpTest, OnlyASingleArgumentNamesAFile) {
  const char* none[] = {"talvek", nullptr};
  const char* one[] = {"talvek", "/in/my file.tc", nullptr};
  const char* two[] = {"talvek", "/in/my", "file.tc", nullptr};
  EXPECT_EQ(commandLineFileFromArguments(1, none), "");
  EXPECT_EQ(commandLineFileFromArguments(2, one), "/in/my file.tc");
  EXPECT_EQ(commandLineFileFromArguments(3, two), "");
  EXPECT_EQ(commandLineFileFromArguments(0, nullptr), "");
}

class LifecycleTest : public DialogTest {
 protected:
  void startWith(const std::string& commandLineFile) {
    dialog_ = std::make_unique<EncoderDialog>(
        window_, DialogEnvironment{&options_, dir_.path(), commandLineFile});
    EXPECT_TRUE(dialog_->OnInitDialog());
  }
};

TEST_F(LifecycleTest, StartChecksTheStoredOptionAndFillsTheFieldsFromTheCommandLine) {
  writeFile(dir_.file("in.TC"), "x");
  options_.stored = IDC_USE_KEY_FILE;
  startWith(dir_.file("in.TC"));
  EXPECT_EQ(window_.checkedButton, IDC_USE_KEY_FILE);
  EXPECT_EQ(window_.controlText(IDC_SOURCE), dir_.file("in.TC"));
  EXPECT_EQ(window_.controlText(IDC_DESTINATION), dir_.file("in"));
  EXPECT_EQ(window_.events, (std::vector<std::string>{"wait", "restore"}));
  EXPECT_TRUE(window_.messages.empty());
}

TEST_F(LifecycleTest, StartUndoesAJobThatACrashInterruptedAndSaysSoOnce) {
  // A job writing a file with two names in place, killed part-way.
  const std::string file = dir_.file("data");
  writeFile(file, std::string(300000, 'o'));
  ASSERT_EQ(::link(file.c_str(), dir_.file("data2").c_str()), 0);
  writeFile(dir_.file("in"), std::string(1u << 20, 'i'));
  const int status = runInChild([&] {
    transformFile(dir_.file("in"), file, "key", true, true, nullptr, [](uint64_t done, uint64_t) {
      if (done > 0) ::raise(SIGKILL);
      return true;
    });
    return 0;
  });
  ASSERT_TRUE(WIFSIGNALED(status));
  char resolved[PATH_MAX];
  ASSERT_NE(::realpath(file.c_str(), resolved), nullptr);
  startWith("");
  dialog_->reportInterruptedJobs();
  EXPECT_EQ(shown(), std::vector<std::string>{message(
                         "Warning", 0x30,
                         "A job that was interrupted has been undone. This file has its old "
                         "contents again:\n" +
                             std::string(resolved))});
  EXPECT_EQ(readFile(dir_.file("data2")), std::string(300000, 'o'));
  window_.messages.clear();
  dialog_->reportInterruptedJobs();
  EXPECT_TRUE(window_.messages.empty());
}

TEST_F(LifecycleTest, StartIgnoresAnythingButARegularFile) {
  options_.stored = 12345;  // an unknown value means passwords
  for (const std::string& file : {std::string(), dir_.path(), dir_.file("missing")}) {
    window_.texts.clear();
    startWith(file);
    EXPECT_EQ(window_.checkedButton, IDC_USE_PASSWORD);
    EXPECT_TRUE(window_.texts.empty());
    EXPECT_FALSE(window_.waitCursorShown());
  }
  EXPECT_TRUE(window_.messages.empty());
}

TEST_F(LifecycleTest, WithoutAStoreThePasswordOptionIsChecked) {
  EncoderDialog dialog(window_, DialogEnvironment{});
  dialog.OnInitDialog();
  EXPECT_EQ(window_.checkedButton, IDC_USE_PASSWORD);
  dialog.OnCancel();
  EXPECT_EQ(window_.endResult, IDCANCEL);
}

TEST_F(LifecycleTest, ClosingStoresTheOptionThenEndsTheDialog) {
  window_.checkButton(IDC_USE_KEY_FILE);
  dialog_->OnOK();
  EXPECT_EQ(window_.endResult, IDOK);
  window_.endResult.reset();
  window_.checkButton(IDC_USE_PASSWORD);
  dialog_->OnCancel();
  EXPECT_EQ(window_.endResult, IDCANCEL);
  EXPECT_EQ(options_.saves, (std::vector<bool>{false, true}));
}

TEST_F(LifecycleTest, EveryExitCommandCancels) {
  for (int id : {ID_FILE_EXIT, IDC_EXIT, IDCANCEL, IDOK}) {
    window_.endResult.reset();
    EXPECT_TRUE(dialog_->onCommand(id));
    EXPECT_EQ(window_.endResult, id == IDOK ? IDOK : IDCANCEL) << id;
  }
  EXPECT_EQ(options_.saves.size(), 4u);
}

TEST_F(LifecycleTest, EncodeAndDecodeCommandsCarryTheirDirection) {
  usePasswords("secret", "secret");
  writeFile(dir_.file("in"), "x");
  setPaths(dir_.file("in"), dir_.file("out"));
  std::vector<bool> directions;
  dialog_->setTransformJob([&](std::string, std::string, std::string, bool encode, bool, JobReport*,
                               const JobProgress&) {
    directions.push_back(encode);
    return true;
  });
  for (int id : {ID_TASK_ENCODE, IDC_ENCODE, ID_TASK_DECODE, IDC_DECODE}) {
    EXPECT_TRUE(dialog_->onCommand(id));
  }
  EXPECT_EQ(directions, (std::vector<bool>{true, true, false, false}));
  EXPECT_EQ(window_.beeps.size(), 4u);
}

TEST_F(LifecycleTest, BrowseAndGenerateCommandsOpenTheirDialogs) {
  window_.fileChoices = {std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  for (int id :
       {IDC_BROWSE_SOURCE, IDC_BROWSE_DESTINATION, IDC_GENERATE_KEY, IDC_BROWSE_KEY_FILE}) {
    EXPECT_TRUE(dialog_->onCommand(id));
  }
  ASSERT_EQ(window_.fileDialogs.size(), 4u);
  EXPECT_EQ(window_.fileDialogs[0].description.initialName, "*.*");
  EXPECT_EQ(window_.fileDialogs[1].description.initialName, "*.tc");
  EXPECT_EQ(window_.fileDialogs[2].description.initialName, "*.mk");
  EXPECT_EQ(window_.fileDialogs[3].description.filter,
            "All Files (*.*)|*.*|Morva~Key Files (*.mk)|*.mk|");
  EXPECT_FALSE(dialog_->onCommand(IDC_SOURCE));
  EXPECT_FALSE(dialog_->onCommand(0));
}

TEST_F(LifecycleTest, ManualOpensTheDocumentNextToTheProgramOrSaysThereIsNone) {
  startWith("");
  const std::string noHelp = message("Help Is Not Installed", 0x10, "No help is available!");
  EXPECT_TRUE(dialog_->onCommand(ID_HELP_MANUAL));
  EXPECT_EQ(shown(), std::vector<std::string>{noHelp});
  EXPECT_TRUE(window_.openedDocuments.empty());

  writeFile(dir_.file("Manual.html"), "<html></html>");
  window_.messages.clear();
  dialog_->onManual();
  EXPECT_TRUE(window_.messages.empty());
  EXPECT_EQ(window_.openedDocuments, std::vector<std::string>{dir_.file("Manual.html")});

  // The platform gives the directory with a trailing '/'.
  EncoderDialog withSlash(window_, DialogEnvironment{&options_, dir_.path() + "/", ""});
  withSlash.onManual();
  EXPECT_EQ(window_.openedDocuments.back(), dir_.file("Manual.html"));

  window_.openDocumentSucceeds = false;
  dialog_->onManual();
  EXPECT_EQ(shown(), std::vector<std::string>{noHelp});

  EXPECT_TRUE(dialog_->onCommand(ID_HELP_ABOUT));
  EXPECT_EQ(window_.aboutShown, 1);
}

TEST(JobFailureTextTest, SaysWhyAndNamesWhatTheKeptCopyHolds) {
  JobReport report;
  report.failure = JobFailure::WriteFailed;
  EXPECT_EQ(jobFailureText(report), "The destination could not be written!");
  report.path = "/home/u/a.tc";
  report.why = Status::failure("write", "/home/u/a.tc", ENOSPC);
  const std::string plain = jobFailureText(report);
  EXPECT_EQ(plain, "The destination could not be written! (/home/u/a.tc: No space left on device)");
  report.path.clear();
  EXPECT_EQ(jobFailureText(report),
            "The destination could not be written! (No space left on device)");

  report.path = "/home/u/a.tc";
  report.keptCopy = "/tmp/qwertyui.opa";
  report.keptContent = KeptCopyContent::SourceData;
  EXPECT_EQ(jobFailureText(report), plain + "\nThe source's data is kept in:\n/tmp/qwertyui.opa");
  report.keptContent = KeptCopyContent::DestinationContents;
  EXPECT_EQ(jobFailureText(report),
            plain + "\nThe destination's old contents are kept in:\n/tmp/qwertyui.opa");

  report = JobReport{};
  report.path = "/home/u/a.tc";
  report.attributesLost = Status::failure("setxattr", "/home/u/a.tc", EPERM);
  EXPECT_EQ(attributesLostText(report),
            "The destination's extended attributes could not be kept! (/home/u/a.tc: Operation "
            "not permitted)");

  // Every path goes through the window's way of showing one.
  const PathDisplay show = [](const std::string& path) { return "<" + path + ">"; };
  report = JobReport{};
  report.failure = JobFailure::WriteFailed;
  report.path = "/a";
  report.why = Status::failure("write", "/a", EIO);
  report.keptCopy = "/k";
  report.leftOver = Status::failure("remove", "/j", EACCES);
  EXPECT_EQ(jobFailureText(report, show),
            "The destination could not be written! (</a>: Input/output error)\nThe destination's "
            "old contents are kept in:\n</k>\nThe job's journal, zeroed, could not be "
            "removed:\n</j> (Permission denied)");
}

TEST(JobFailureTextTest, SaysInOneMessageWhatBecameOfEachInterruptedJob) {
  using Outcome = InterruptedJob::Outcome;
  const auto job = [](Outcome outcome, std::string file, std::string kept) {
    InterruptedJob j;
    j.outcome = outcome;
    j.file = std::move(file);
    j.keptCopy = std::move(kept);
    j.why = Status::failure("write", "/f", ENOSPC);
    return j;
  };
  const PathDisplay show = [](const std::string& path) { return "<" + path + ">"; };
  EXPECT_EQ(interruptedJobsText({}), "");
  EXPECT_EQ(interruptedJobsText({job(Outcome::Restored, "/a", "")}, show),
            "A job that was interrupted has been undone. This file has its old contents "
            "again:\n</a>");
  EXPECT_EQ(interruptedJobsText({job(Outcome::Restored, "/a", ""), job(Outcome::Restored, "/b", ""),
                                 job(Outcome::FileReplaced, "/c", "/s/c.old-x"),
                                 job(Outcome::CopyDamaged, "", "/s/file.old-y"),
                                 job(Outcome::RestoreFailed, "/f", "/s/f.old-z")},
                                show),
            "Jobs that were interrupted have been undone. These files have their old contents "
            "again:\n</a>\n</b>\n\n"
            "A job that was interrupted could not be undone (the file was replaced or removed "
            "since). The old contents of\n</c>\nare kept in:\n</s/c.old-x>\n\n"
            "A job that was interrupted could not be undone (its copy of the old contents is "
            "damaged). The old contents of the file it wrote are kept in:\n</s/file.old-y>\n\n"
            "A job that was interrupted could not be undone (</f>: No space left on device). The "
            "old contents of\n</f>\nare kept in:\n</s/f.old-z>");
}

}  // namespace
}  // namespace talvek::test
