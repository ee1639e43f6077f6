// Running a helper program of the desktop in the background of an operation:
// no shell, no output, bounded wait.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace talvek {

// Starts argv[0] (looked up in PATH) with the given arguments, its standard
// streams on /dev/null, and waits at most limit for it; one still running
// then is killed. True when it ran and exited with status 0; false when it
// is not installed, failed or was killed.
bool runQuietly(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

}  // namespace talvek
