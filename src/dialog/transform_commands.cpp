// The Encode and Decode commands: check the inputs with the user in a fixed
// order, then run one job and signal its end.
#include <errno.h>

#include "dialog/dialog_texts.h"
#include "dialog/encoder_dialog.h"
#include "dialog/job_failure_text.h"
#include "dialog/resource_ids.h"
#include "dialog/wait_cursor.h"
#include "job/destination.h"
#include "platform/file_status.h"

namespace talvek {

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
      /*destinationIsFile=*/true, nullptr);
}

CommandResult EncoderDialog::runJobCommand(bool encode, const PathCheck& check,
                                           const JobStart& start, bool destinationIsFile,
                                           JobReport* report) {
  WaitCursor cursor(window_);
  // The key comes first: a refused key stops the command before any path
  // is looked at.
  std::string keyText;
  if (!acquireKeyText(keyText)) return CommandResult::Refused;
  std::string source;
  std::string destination;
  if (!check(source, destination)) return CommandResult::Refused;

  // Lets the job replace a read-only destination the user agreed to replace;
  // fails harmlessly when there is none. A job that fails puts the mode back.
  unsigned previousMode = 0;
  const bool madeWritable = destinationIsFile && makeWritable(destination, &previousMode);
  JobReport local;
  JobReport& result = report != nullptr ? *report : local;
  const bool done =
      window_.runJob(JobView{source, destination, encode}, [&](const JobProgress& progress) {
        // The job takes the key text over: a key file's text may be as large
        // as the file, and a second copy would double the memory it needs.
        return start(source, destination, std::move(keyText), result, progress);
      });
  if (!done && madeWritable) (void)setPermissions(destination, previousMode);

  cursor.restore();
  window_.beep(MB_ICONASTERISK);
  if (done) {
    if (result.attributesError != 0) showWarning(attributesLostText(result));
    return CommandResult::Done;
  }
  // The user asked for the stop and knows why the job ended.
  if (result.failure == JobFailure::Stopped) return CommandResult::Stopped;
  // Whoever read an output stream wants no more of it, and no warning either.
  const bool readerGone =
      !destinationIsFile && result.failure == JobFailure::WriteFailed && result.error == EPIPE;
  if (!readerGone) showWarning(jobFailureText(result));
  return CommandResult::Failed;
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
