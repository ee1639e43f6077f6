#include "cli/cli_app.h"

#include <iostream>

#include "cli/cli_options.h"
#include "cli/each_command.h"
#include "cli/job_done_line.h"
#include "cli/name_quoting.h"
#include "cli/secret_controls.h"
#include "cli/standard_streams.h"
#include "cli/terminal.h"
#include "cli/terminal_window.h"
#include "dialog/destination_rule.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"
#include "platform/status.h"
#include "platform/file_status.h"
#include "platform/stop_signals.h"

#ifndef TALVEK_VERSION
#error "TALVEK_VERSION must be defined by the build"
#endif

namespace talvek {

namespace {

// Whether path names the file standard input is: /dev/stdin,
// /proc/self/fd/0, another name of the same file, the same pipe. Looked up,
// not opened, so nothing is read from it.
bool isStandardInput(const std::string& path) {
  FileInfo input;
  FileInfo named;
  return infoOfNative(standardInput(), &input).ok() &&
         infoOfPath(path, /*followLinks=*/true, &named).ok() && input.identity == named.identity;
}

// One SOURCE into one DESTINATION, either of them a stream.
int runFileCommand(const CliOptions& options, const ClosedStreams& closed,
                   const QuestionTerminal& terminal, TerminalWindow& window,
                   const DialogEnvironment& environment) {
  const bool readsStandardInput = options.source == kStandardStream;
  const std::string destination = options.hasDestination ? options.destination
                                  : readsStandardInput   ? std::string(kStandardStream)
                                                         : destinationForSource(options.source);
  const bool writesStandardOutput = destination == kStandardStream;
  if (readsStandardInput && closed.input) return usageError("standard input is closed");
  // The secret would be taken from the data, which is then short of it.
  if (readsStandardInput && !options.secretPath.empty() && isStandardInput(options.secretPath)) {
    return usageError(std::string(options.secret == SecretSource::KeyFile ? "the key file "
                                                                          : "the password file ") +
                      quotedName(options.secretPath) +
                      " is standard input, which carries the data when SOURCE is -; give "
                      "another file");
  }
  if (writesStandardOutput && closed.output) return usageError("standard output is closed");
  if (writesStandardOutput && isTerminal(standardOutput())) {
    return usageError(std::string(options.command == CliCommand::Encode ? "encoded" : "decoded") +
                      " data is not written to a terminal; redirect standard output or give a "
                      "DESTINATION");
  }
  EncoderDialog dialog(window, environment);
  window.setControlText(IDC_SOURCE, options.source);
  window.setControlText(IDC_DESTINATION, destination);
  StreamEnds ends;
  if (readsStandardInput) ends.input = standardInput();
  if (writesStandardOutput) ends.output = standardOutput();

  if (options.secret == SecretSource::Terminal && terminal.input == kNoFile) {
    // What is wrong with the paths comes first, as in the dialog, where the
    // password could always be typed.
    std::string source;
    std::string target;
    if (!dialog.checkStreamEnds(ends, source, target)) return kExitRefused;
    return usageError((options.quiet ? std::string("--quiet asks for no password")
                                     : "no terminal to ask for the password on") +
                      "; " + secretOptions(readsStandardInput));
  }
  if (const int status = fillSecret(options, terminal, window); status >= 0) return status;

  const bool encode = options.command == CliCommand::Encode;
  // A bar or a line under a pager or another program's output would get in
  // the way.
  const bool talk = !options.quiet && isTerminal(standardError()) &&
                    (!writesStandardOutput || isRegularFile(standardOutput()));
  window.showProgress(talk);
  JobReport report;
  const CommandResult result = dialog.runStreamCommand(encode, ends, &report);
  // Only now, once the command has put the destination's mode back: a job
  // that completed all the same counts as done.
  if (window.stopSignal() != 0) StopSignals::endBy(window.stopSignal());
  // The reader of standard output went away: end as filters do.
  if (result == CommandResult::Failed && writesStandardOutput &&
      report.failure == JobFailure::WriteFailed && report.why.is(Condition::ReaderGone)) {
    StopSignals::endForReaderGone();
  }
  if (result == CommandResult::Done && talk && !writesStandardOutput) {
    FileTypeGuesser guesser;
    const std::string source =
        readsStandardInput ? ends.inputName : window.displayPath(options.source);
    std::cerr << writtenFileLine(encode, source, destination, window.displayPath(destination),
                                 guesser)
              << std::endl;
  }
  return exitStatusOf(result);
}

}  // namespace

int runCli(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  if (!parseCliArguments(args, options, error)) return usageError(error);
  switch (options.command) {
    case CliCommand::Help:
      std::cout << cliUsage(options.helpFor);
      return kExitDone;
    case CliCommand::Version:
      std::cout << "talvek-cli " << TALVEK_VERSION << std::endl;
      return kExitDone;
    default:
      break;
  }
  const ClosedStreams closed = reopenClosedStreams();

  const bool readsStandardInput = !options.each && options.source == kStandardStream;
  QuestionTerminal terminal;
  openQuestionTerminal(options.quiet, readsStandardInput, terminal);
  TerminalWindow::LineReader readAnswer;
  if (terminal.input != kNoFile) {
    readAnswer = [&terminal](const std::string& prompt) {
      return askLine(terminal.input, terminal.output, prompt, false);
    };
  }
  TerminalWindow window(std::cerr, readAnswer, options.assumeYes, terminal.whyNot);

  // Jobs that a crash or a power cut interrupted are undone first.
  EncoderDialog(window, DialogEnvironment{}).reportInterruptedJobs();

  if (options.command == CliCommand::GenerateKey) {
    // The command line keeps no settings: no option store.
    EncoderDialog dialog(window, DialogEnvironment{});
    window.queueFileChoice(options.source);
    return exitStatusOf(dialog.onGenerateKey());
  }
  DialogEnvironment environment;
  if (const int status = prepareEnvironment(options, environment); status >= 0) return status;
  if (options.each) return runEachCommand(options, terminal, window, environment);
  return runFileCommand(options, closed, terminal, window, environment);
}

}  // namespace talvek
