// talvek-cli: runs the dialog's Encode, Decode or Generate command from the
// command line, on one file or many, for scripts and terminals.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_messages.h"

namespace talvek {


// Runs talvek-cli with the arguments after the program's name, on the
// process's standard streams. Returns the exit status.
int runCli(const std::vector<std::string>& args);

}  // namespace talvek
