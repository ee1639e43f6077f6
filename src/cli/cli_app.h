// talvek-cli: runs one Encode, Decode or Generate command of the dialog from
// the command line, for scripts and terminals.
#pragma once

#include <string>
#include <vector>

namespace talvek {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;  // a warning was shown, or the user said No
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;  // the job itself failed

// Runs talvek-cli with the arguments after the program's name, on the
// process's standard streams. Returns the exit status.
int runCli(const std::vector<std::string>& args);

}  // namespace talvek
