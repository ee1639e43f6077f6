// The Encode and Decode commands: check the inputs with the user in a fixed
// order, then run one job and signal its end.
#include "dialog/dialog_texts.h"
#include "dialog/encoder_dialog.h"
#include "dialog/job_failure_text.h"
#include "job/interrupted_jobs.h"
#include "dialog/resource_ids.h"
#include "dialog/wait_cursor.h"
#include "job/destination.h"
#include "platform/file_status.h"

namespace talvek {

namespace {

// How often a job runs again after a file took the destination's name.
constexpr int kMaxJobRounds = 4;

}  // namespace

CommandResult EncoderDialog::onEncode() {
  return runTransformCommand(true);
}

CommandResult EncoderDialog::onDecode() {
  return runTransformCommand(false);
}

CommandResult EncoderDialog::runTransformCommand(bool encode) {
  return runJobCommand(
      encode,
      [this](std::string& source, std::string& destination) {
        return checkSourceAndDestination(source, destination);
      },
      [this, encode](const std::string& source, const std::string& destination, std::string keyText,
                     JobReport& report, const JobProgress& progress) {
        return job_(source, destination, std::move(keyText), encode, /*overwrite=*/true, &report,
                    progress);
      },
      JobEnds{/*sourceIsFile=*/true, /*destinationIsFile=*/true}, nullptr);
}

CommandResult EncoderDialog::runJobCommand(bool encode, const PathCheck& check,
                                           const JobStart& start, const JobEnds& ends,
                                           JobReport* report) {
  WaitCursor cursor(window_);
  // The key comes first: a refused key stops the command before any path
  // is looked at.
  std::string keyText;
  if (!acquireKeyText(keyText)) return CommandResult::Refused;
  std::string source;
  std::string destination;
  if (!check(source, destination)) return CommandResult::Refused;

  JobReport local;
  JobReport& result = report != nullptr ? *report : local;
  bool done = false;
  for (int attempt = 1;; ++attempt) {
    // The job takes the key text over (a key file's text may be as large as
    // the file, and a second copy would double the memory it needs), except
    // when it may have to run again.
    const bool mayRunAgain = ends.sourceIsFile && ends.destinationIsFile;
    std::string jobKey;
    if (mayRunAgain) {
      jobKey = keyText;
    } else {
      jobKey = std::move(keyText);
    }
    done = window_.runJob(JobView{source, destination, encode}, [&](const JobProgress& progress) {
      return start(source, destination, std::move(jobKey), result, progress);
    });
    // A file took the destination's name, or the destination's place, while
    // the job ran: it is asked about as any existing destination is. Only a
    // file can be read once more; a few rounds, against a name that changes
    // hands all the time.
    if (done || result.failure != JobFailure::DestinationExists || !mayRunAgain ||
        attempt >= kMaxJobRounds) {
      break;
    }
    if (!askYesNo(kDestinationExists)) {
      cursor.restore();
      return CommandResult::Refused;
    }
  }

  cursor.restore();
  window_.beep(MB_ICONASTERISK);
  const PathDisplay show = [this](const std::string& path) { return window_.displayPath(path); };
  if (done) {
    if (!result.attributesLost.ok()) showWarning(attributesLostText(result, show));
    if (!result.leftOver.ok()) showWarning(leftOverText(result, show).substr(1));
    return CommandResult::Done;
  }
  // The user asked for the stop and knows why the job ended.
  if (result.failure == JobFailure::Stopped) return CommandResult::Stopped;
  // Whoever read an output stream wants no more of it, and no warning either.
  const bool readerGone = !ends.destinationIsFile && result.failure == JobFailure::WriteFailed &&
                          result.why.is(Condition::ReaderGone);
  if (!readerGone) showWarning(jobFailureText(result, show));
  return CommandResult::Failed;
}

void EncoderDialog::reportInterruptedJobs() {
  const std::string text = interruptedJobsText(
      recoverInterruptedJobs(), [this](const std::string& path) { return window_.displayPath(path); });
  if (!text.empty()) showWarning(text);
}

bool EncoderDialog::checkSourceAndDestination(std::string& source, std::string& destination) {
  return checkSource(source) && checkDestination(destination);
}

bool EncoderDialog::checkSource(std::string& source) {
  source = window_.controlText(IDC_SOURCE);
  if (!isRegularFile(source)) {
    showWarning(kInvalidSource);
    return false;
  }
  return true;
}

bool EncoderDialog::checkDestination(std::string& destination) {
  destination = window_.controlText(IDC_DESTINATION);
  // Overwriting the key file in use would destroy the only key that decodes
  // the result.
  if (isNeverADestination(destination)) {
    showWarning(kInvalidDestination);
    return false;
  }
  switch (probeDestination(destination)) {
    case DestinationState::Exists:
      return askYesNo(kDestinationExists);
    case DestinationState::NotCreatable:
      showWarning(kInvalidDestination);
      return false;
    case DestinationState::Creatable:
      return true;
  }
  return false;
}

}  // namespace talvek
