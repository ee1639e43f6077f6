// Encodes or decodes data that does not come from, or go to, a named regular
// file: standard input and output, pipes, terminals. The bytes written are
// those transformFile writes for the same data and key text; one buffer is
// used however long the stream.
#pragma once

#include <string>

#include "job/transform_file.h"
#include "platform/file.h"

namespace talvek {

// An open stream another owns (standard input, say) and the name a report
// gives it ("standard input").
struct StreamEnd {
  NativeFile native = kNoFile;
  std::string name;
};

// Transforms everything `input` gives, until its end, into `output`. A short
// read is normal and is written at once, so a filter passes data on as it
// comes. Failures: EmptyKey (nothing read or written), ReadFailed and
// WriteFailed (operation "read" or "write", path the end's name, and why:
// ReaderGone when the reader of `output` went away) and Stopped. What was written
// before a failure stays written: a stream cannot be taken back.
bool transformStream(const StreamEnd& input, const StreamEnd& output, std::string keyText,
                     bool encode, JobReport* report = nullptr, const JobProgress& progress = {});

// Transforms the regular file `source` into `output`. Besides the failures of
// transformStream: SourceInvalid when it is not a regular file or cannot be
// opened, SourceChanged when its size or modification time changed while it
// was read.
bool transformFileToStream(const std::string& source, const StreamEnd& output, std::string keyText,
                           bool encode, JobReport* report = nullptr,
                           const JobProgress& progress = {});

// Transforms `input` into the named destination with all of transformFile's
// care for the destination: a new file beside it, renamed over it once
// complete, or the destination written in place with its old bytes kept in a
// journal where it must be. Nothing of the stream is written anywhere
// else. The checks that need no input (destination, key text) come first, so
// a refused job reads nothing. Failures: those of transformFile, with
// ReadFailed as above for the stream.
bool transformStreamToFile(const StreamEnd& input, const std::string& destination,
                           std::string keyText, bool encode, bool overwrite,
                           JobReport* report = nullptr, const JobProgress& progress = {});

}  // namespace talvek
