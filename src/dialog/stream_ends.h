// The ends of a command that reads or writes an open stream (talvek-cli's
// "-") in place of the file named in the source or destination field.
#pragma once

#include <string>

#include "platform/file.h"

namespace talvek {

struct StreamEnds {
  // Read instead of the source field's file when not kNoFile.
  NativeFile input = kNoFile;
  // Written instead of the destination field's file when not kNoFile.
  NativeFile output = kNoFile;
  // What messages and the job's report call them.
  std::string inputName = "standard input";
  std::string outputName = "standard output";
};

}  // namespace talvek
