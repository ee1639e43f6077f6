// `talvek-cli encode|decode --each`: one command over many files, with the
// secret given once. Each file meets the checks, question and messages of a
// single file; a failure does not end the run.
#pragma once

#include "cli/cli_options.h"
#include "cli/standard_streams.h"
#include "cli/terminal_window.h"
#include "dialog/encoder_dialog.h"

namespace talvek {

// Runs the command on every file of options.sources. Writes a line for each
// file that was written (unless --quiet) and the count at the end; returns
// the exit status of the worst outcome. A stop signal ends the process once
// the file it interrupted is cleaned up.
int runEachCommand(const CliOptions& options, const QuestionTerminal& terminal,
                   TerminalWindow& window, const DialogEnvironment& environment);

}  // namespace talvek
