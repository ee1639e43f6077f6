// Encode and Decode with a stream at one end or both (talvek-cli's "-"): the
// key and path checks of the file command, without the file checks that a
// stream cannot pass, and a job that reads or writes the stream.
#include <sys/stat.h>

#include "dialog/dialog_texts.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"
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
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && isNeverADestination(st);
}

bool EncoderDialog::isNeverADestination(const struct stat& file) {
  if (window_.isChecked(IDC_USE_KEY_FILE) && isSameFile(file, window_.controlText(IDC_KEY_FILE))) {
    return true;
  }
  for (const std::string& kept : environment_.protectedPaths) {
    if (isSameFile(file, kept)) return true;
  }
  return false;
}

bool EncoderDialog::checkStreamEnds(const StreamEnds& ends, std::string& source,
                                    std::string& destination) {
  if (ends.input < 0 && ends.output < 0) return checkSourceAndDestination(source, destination);
  if (ends.input >= 0) {
    source = ends.inputName;
  } else if (!checkSource(source)) {
    return false;
  }
  if (ends.output < 0) return checkDestination(destination);

  // An output stream that is a file was opened by whoever started the
  // command: it must not be the key, nor the file being read, which would be
  // destroyed or, when appended to, never end.
  destination = ends.outputName;
  struct stat output;
  bool refused = false;
  if (regularFileIdentity(ends.output, output)) {
    struct stat input;
    const bool readsItself = ends.input >= 0 ? regularFileIdentity(ends.input, input) &&
                                                   input.st_dev == output.st_dev &&
                                                   input.st_ino == output.st_ino
                                             : isSameFile(output, source);
    refused = readsItself || isNeverADestination(output);
  }
  if (refused) {
    showWarning(kInvalidDestination);
    return false;
  }
  return true;
}

CommandResult EncoderDialog::runStreamCommand(bool encode, const StreamEnds& ends,
                                              JobReport* report) {
  if (ends.input < 0 && ends.output < 0) return runTransformCommand(encode);
  const StreamEnd input{ends.input, ends.inputName};
  const StreamEnd output{ends.output, ends.outputName};
  return runJobCommand(
      encode,
      [this, &ends](std::string& source, std::string& destination) {
        return checkStreamEnds(ends, source, destination);
      },
      [&, encode](const std::string& source, const std::string& destination, std::string keyText,
                  JobReport& result, const JobProgress& progress) {
        if (ends.input < 0) {
          return transformFileToStream(source, output, std::move(keyText), encode, &result,
                                       progress);
        }
        if (ends.output < 0) {
          return transformStreamToFile(input, destination, std::move(keyText), encode,
                                       /*overwrite=*/true, &result, progress);
        }
        return transformStream(input, output, std::move(keyText), encode, &result, progress);
      },
      JobEnds{/*sourceIsFile=*/ends.input < 0, /*destinationIsFile=*/ends.output < 0}, report);
}

}  // namespace talvek
