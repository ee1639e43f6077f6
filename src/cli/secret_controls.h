// The secret that the command line names, put into the dialog's controls as
// a user would type it: a key file's path, or the password read from a
// file, from standard input or from the terminal.
#pragma once

#include "cli/cli_options.h"
#include "cli/standard_streams.h"
#include "dialog/encoder_dialog.h"
#include "dialog/window_system.h"

namespace talvek {

// Returns an exit status when the secret cannot be had (after saying why),
// else -1.
int fillSecret(const CliOptions& options, const QuestionTerminal& terminal, WindowSystem& window);

// The dialog's environment for the command line's options: the password's
// character set, and the password file kept from being written. Returns an
// exit status on a usage error, else -1.
int prepareEnvironment(const CliOptions& options, DialogEnvironment& environment);

// The options that give a secret without a terminal.
std::string secretOptions(bool readsStandardInput);

}  // namespace talvek
