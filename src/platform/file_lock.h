// An exclusive lock on an open file, held until the descriptor is closed,
// so that two jobs of the program never write one file at the same time.
// Other programs do not ask for it: it keeps out only those that do.
#pragma once

#include <chrono>
#include <functional>

#include "platform/file.h"
#include "platform/status.h"

namespace talvek {

// Takes an exclusive lock on the file, waiting up to `wait` for whoever
// holds it and asking keepGoing now and then. Busy when the lock is still
// held at the end, Cancelled when keepGoing says stop. A file system that
// has no such locks counts as locked: there is nothing better to be had.
Status lockExclusive(const File& file, std::chrono::milliseconds wait,
                     const std::function<bool()>& keepGoing = {});

// Takes the lock only if it is free at once: false when another holds it.
bool tryLockExclusive(const File& file);

}  // namespace talvek
