// Encode and Decode with a stream at one end or both (talvek-cli's "-"): the
// key and path checks of the file command, without the file checks that a
// stream cannot pass, and a job that reads or writes the stream.
#include "dialog/dialog_texts.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"
#include "job/transform_stream.h"
#include "platform/file.h"

namespace talvek {

namespace {

// What an open stream is, when it is a regular file; false for anything else.
bool regularFileInfo(NativeFile stream, FileInfo& info) {
  return infoOfNative(stream, &info).ok() && info.regular;
}

bool isSameFile(const FileInfo& a, const std::string& path) {
  FileInfo b;
  return !path.empty() && infoOfPath(path, /*followLinks=*/true, &b).ok() &&
         a.identity == b.identity;
}

}  // namespace

bool EncoderDialog::isNeverADestination(const std::string& path) {
  FileInfo info;
  return infoOfPath(path, /*followLinks=*/true, &info).ok() && isNeverADestination(info);
}

bool EncoderDialog::isNeverADestination(const FileInfo& file) {
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
  if (ends.input == kNoFile && ends.output == kNoFile) {
    return checkSourceAndDestination(source, destination);
  }
  if (ends.input != kNoFile) {
    source = ends.inputName;
  } else if (!checkSource(source)) {
    return false;
  }
  if (ends.output == kNoFile) return checkDestination(destination);

  // An output stream that is a file was opened by whoever started the
  // command: it must not be the key, nor the file being read, which would be
  // destroyed or, when appended to, never end.
  destination = ends.outputName;
  FileInfo output;
  bool refused = false;
  if (regularFileInfo(ends.output, output)) {
    FileInfo input;
    const bool readsItself = ends.input != kNoFile
                                 ? regularFileInfo(ends.input, input) &&
                                       input.identity == output.identity
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
  if (ends.input == kNoFile && ends.output == kNoFile) return runTransformCommand(encode);
  const StreamEnd input{ends.input, ends.inputName};
  const StreamEnd output{ends.output, ends.outputName};
  return runJobCommand(
      encode,
      [this, &ends](std::string& source, std::string& destination) {
        return checkStreamEnds(ends, source, destination);
      },
      [&, encode](const std::string& source, const std::string& destination, std::string keyText,
                  JobReport& result, const JobProgress& progress) {
        if (ends.input == kNoFile) {
          return transformFileToStream(source, output, std::move(keyText), encode, &result,
                                       progress);
        }
        if (ends.output == kNoFile) {
          return transformStreamToFile(input, destination, std::move(keyText), encode,
                                       /*overwrite=*/true, &result, progress);
        }
        return transformStream(input, output, std::move(keyText), encode, &result, progress);
      },
      JobEnds{/*sourceIsFile=*/ends.input == kNoFile, /*destinationIsFile=*/ends.output == kNoFile},
      report);
}

}  // namespace talvek
