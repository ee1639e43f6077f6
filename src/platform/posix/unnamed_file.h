// Files without a name: made in a directory, written and synced, and only
// then given a name, so that a crash at any moment leaves either nothing or
// the complete file. Not every file system has them.
#pragma once

#include <string>

#include "platform/status.h"
#include "platform/posix/unique_fd.h"

namespace talvek {

// Creates an unnamed file in the directory behind `directory` (any handle of
// it, O_PATH included), open for reading and writing, mode 0600. Fails with
// EOPNOTSUPP where the file system or kernel has none, or where this process
// could not give it a name later.
Status createUnnamedFile(int directory, UniqueFd* file);

// Gives an unnamed file (or any open file) the name `name` in `directory`.
// Fails with EEXIST when the name is taken: nothing is ever replaced.
Status nameUnnamedFile(int file, int directory, const std::string& name);

// Whether a failure of createUnnamedFile means "not here" rather than
// "failed": the caller then makes a named file instead.
inline bool unnamedFilesUnsupported(const Status& status) {
  return status.is(Condition::Unsupported);
}

}  // namespace talvek
