// The Encode and Decode commands: check the inputs with the user in a fixed
// order, then run one job and signal its end.
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
  WaitCursor cursor(window_);
  // The key comes first: a refused key stops the command before any path
  // is looked at.
  std::string keyText;
  if (!acquireKeyText(keyText)) return CommandResult::Refused;
  std::string source;
  std::string destination;
  if (!checkSourceAndDestination(source, destination)) return CommandResult::Refused;

  // Lets the job replace a read-only destination the user agreed to replace;
  // fails harmlessly when there is none. A job that fails puts the mode back.
  unsigned previousMode = 0;
  const bool madeWritable = makeWritable(destination, &previousMode);
  JobReport report;
  // The job takes the key text over: a key file's text may be as large as the
  // file, and a second copy would double the memory it needs.
  const bool done =
      window_.runJob(JobView{source, destination, encode}, [&](const JobProgress& progress) {
        return job_(source, destination, std::move(keyText), encode, /*overwrite=*/true, &report,
                    progress);
      });
  if (!done && madeWritable) (void)setPermissions(destination, previousMode);

  cursor.restore();
  window_.beep(MB_ICONASTERISK);
  if (done) {
    if (report.attributesError != 0) showWarning(attributesLostText(report));
    return CommandResult::Done;
  }
  // The user asked for the stop and knows why the job ended.
  if (report.failure == JobFailure::Stopped) return CommandResult::Stopped;
  showWarning(jobFailureText(report));
  return CommandResult::Failed;
}

bool EncoderDialog::checkSourceAndDestination(std::string& source, std::string& destination) {
  source = window_.controlText(IDC_SOURCE);
  if (!isRegularFile(source)) {
    showWarning(kInvalidSource);
    return false;
  }
  destination = window_.controlText(IDC_DESTINATION);
  // Overwriting the key file in use would destroy the only key that decodes
  // the result.
  if (window_.isChecked(IDC_USE_KEY_FILE) &&
      sameFile(destination, window_.controlText(IDC_KEY_FILE))) {
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
