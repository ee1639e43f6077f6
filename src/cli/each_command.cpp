#include "cli/each_command.h"

#include <iostream>

#include "cli/cli_messages.h"
#include "cli/each_files.h"
#include "cli/job_done_line.h"
#include "cli/secret_controls.h"
#include "cli/terminal.h"
#include "dialog/destination_rule.h"
#include "dialog/dialog_texts.h"
#include "dialog/resource_ids.h"
#include "platform/stop_signals.h"

namespace talvek {

int runEachCommand(const CliOptions& options, const QuestionTerminal& terminal,
                   TerminalWindow& window, const DialogEnvironment& environment) {
  const bool encode = options.command == CliCommand::Encode;
  EachSelection selection{encode, options.recursive, options.secretPath,
                          options.secret == SecretSource::KeyFile ? "the key file"
                                                                  : "the password file"};
  const std::vector<EachFile> files = selectEachFiles(options.sources, selection);
  if (options.secret == SecretSource::Terminal && terminal.input == kNoFile) {
    return usageError((options.quiet ? std::string("--quiet asks for no password")
                                     : "no terminal to ask for the password on") +
                      "; " + secretOptions(false));
  }
  // Asked or read once, the secret stays in the controls for every file.
  if (const int status = fillSecret(options, terminal, window); status >= 0) return status;

  EncoderDialog dialog(window, environment);
  FileTypeGuesser guesser;
  EachTally tally;
  window.showProgress(!options.quiet && isTerminal(standardError()));
  size_t reached = 0;
  for (const EachFile& file : files) {
    ++reached;
    window.setSubject(window.displayPath(file.path));
    if (file.take != EachFile::Take::Run) {
      window.messageBox(file.take == EachFile::Take::Skip ? "Skipped: " + file.why : file.why,
                        kWarningCaption, kRefusalStyle);
      tally.add(file.take == EachFile::Take::Skip ? CommandResult::Refused : CommandResult::Failed);
      continue;
    }
    const std::string destination = destinationForSource(file.path);
    window.setControlText(IDC_SOURCE, file.path);
    window.setControlText(IDC_DESTINATION, destination);
    const CommandResult result = dialog.runTransformCommand(encode);
    if (window.stopSignal() != 0) break;
    tally.add(result);
    if (result == CommandResult::Done && !options.quiet) {
      std::cerr << writtenFileLine(encode, window.displayPath(file.path), destination,
                                   window.displayPath(destination), guesser)
                << std::endl;
    }
  }
  window.setSubject({});
  if (window.stopSignal() != 0) tally.setLeft(files.size() - reached + 1);
  if (!options.quiet || window.stopSignal() != 0) std::cerr << tally.summary(encode) << std::endl;
  // Only once the interrupted file is cleaned up and the count said.
  if (window.stopSignal() != 0) StopSignals::endBy(window.stopSignal());
  return tally.exitStatus();
}

}  // namespace talvek
