// Encode and Decode with a stream at one end or both (talvek-cli's "-"): the
// key and path checks of the file command, without the file checks that a
// stream cannot pass, and a job that reads or writes the stream.
#include <errno.h>
#include <sys/stat.h>

#include "dialog/dialog_texts.h"
#include "dialog/encoder_dialog.h"
#include "dialog/job_failure_text.h"
#include "dialog/resource_ids.h"
#include "dialog/wait_cursor.h"
#include "job/destination.h"
#include "job/transform_stream.h"
#include "platform/file_status.h"

namespace talvek {

namespace {

// The device and inode of an open regular file; false for anything else.
bool regularFileIdentity(int fd, struct stat& st) {
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool isSameFile(const struct stat& a, const std::string& path) {
  struct stat b;
  return !path.empty() && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

}  // namespace

bool EncoderDialog::isNeverADestination(const std::string& path) {
  if (window_.isChecked(IDC_USE_KEY_FILE) && sameFile(path, window_.controlText(IDC_KEY_FILE))) {
    return true;
  }
  for (const std::string& kept : environment_.protectedPaths) {
    if (sameFile(path, kept)) return true;
  }
  return false;
}

bool EncoderDialog::isNeverADestination(int fd) {
  struct stat st;
  if (!regularFileIdentity(fd, st)) return false;
  if (window_.isChecked(IDC_USE_KEY_FILE) && isSameFile(st, window_.controlText(IDC_KEY_FILE))) {
    return true;
  }
  for (const std::string& kept : environment_.protectedPaths) {
    if (isSameFile(st, kept)) return true;
  }
  return false;
}

bool EncoderDialog::checkStreamEnds(const StreamEnds& ends, std::string& source,
                                    std::string& destination) {
  if (ends.input < 0 && ends.output < 0) return checkSourceAndDestination(source, destination);
  if (ends.input >= 0) {
    source = ends.inputName;
  } else {
    source = window_.controlText(IDC_SOURCE);
    if (!isRegularFile(source)) {
      showWarning(kInvalidSource);
      return false;
    }
  }

  if (ends.output < 0) {
    destination = window_.controlText(IDC_DESTINATION);
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

  // An output stream that is a file was opened by whoever started the
  // command: it must not be the key, nor the file being read, which would be
  // destroyed or, when appended to, never end.
  destination = ends.outputName;
  struct stat output;
  bool readsItself = false;
  if (regularFileIdentity(ends.output, output)) {
    struct stat input;
    readsItself = ends.input >= 0
                      ? regularFileIdentity(ends.input, input) && input.st_dev == output.st_dev &&
                            input.st_ino == output.st_ino
                      : isSameFile(output, source);
  }
  if (readsItself || isNeverADestination(ends.output)) {
    showWarning(kInvalidDestination);
    return false;
  }
  return true;
}

CommandResult EncoderDialog::runStreamCommand(bool encode, const StreamEnds& ends,
                                              JobReport* report) {
  if (ends.input < 0 && ends.output < 0) return runTransformCommand(encode);
  WaitCursor cursor(window_);
  std::string keyText;
  if (!acquireKeyText(keyText)) return CommandResult::Refused;
  std::string source;
  std::string destination;
  if (!checkStreamEnds(ends, source, destination)) return CommandResult::Refused;

  unsigned previousMode = 0;
  const bool madeWritable = ends.output < 0 && makeWritable(destination, &previousMode);
  JobReport local;
  JobReport& result = report != nullptr ? *report : local;
  const StreamEnd input{ends.input, ends.inputName};
  const StreamEnd output{ends.output, ends.outputName};
  const bool done =
      window_.runJob(JobView{source, destination, encode}, [&](const JobProgress& progress) {
        if (ends.input < 0) {
          return transformFileToStream(source, output, keyText, encode, &result, progress);
        }
        if (ends.output < 0) {
          return transformStreamToFile(input, destination, keyText, encode, /*overwrite=*/true,
                                       &result, progress);
        }
        return transformStream(input, output, keyText, encode, &result, progress);
      });
  if (!done && madeWritable) (void)setPermissions(destination, previousMode);

  cursor.restore();
  window_.beep(MB_ICONASTERISK);
  if (done) {
    if (result.attributesError != 0) showWarning(attributesLostText(result));
    return CommandResult::Done;
  }
  if (result.failure == JobFailure::Stopped) return CommandResult::Stopped;
  // Whoever read the output wants no more of it, and no warning either.
  const bool readerGone =
      ends.output >= 0 && result.failure == JobFailure::WriteFailed && result.error == EPIPE;
  if (!readerGone) showWarning(jobFailureText(result));
  return CommandResult::Failed;
}

}  // namespace talvek
