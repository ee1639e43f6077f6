// Classifies a path that is about to be written.
#pragma once

#include <string>

namespace talvek {

enum class DestinationState : int {
  Exists = 0,        // an existing regular file
  Creatable = 1,     // nothing there, and a file could be created there
  NotCreatable = 2,  // missing directory, a directory or other non-regular file, no permission
};

// A path that does not exist (or a dangling link's target) is tested by
// making an unnamed file in its directory, so that nothing ever has the
// name; where the file system has no unnamed files, by creating and removing
// a file there, with the calling thread's signals held meanwhile so that
// none can end the process and leave it. An existing path that is not a
// regular file (a directory, a FIFO, a device) is never opened.
DestinationState probeDestination(const std::string& path);

}  // namespace talvek
