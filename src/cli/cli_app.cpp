#include "cli/cli_app.h"

#include <iostream>

#include "cli/cli_options.h"
#include "cli/name_quoting.h"
#include "cli/standard_streams.h"
#include "cli/terminal.h"
#include "cli/terminal_window.h"
#include "dialog/destination_rule.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"
#include "platform/charset.h"
#include "platform/status.h"
#include "platform/file_status.h"
#include "platform/stop_signals.h"

#ifndef TALVEK_VERSION
#error "TALVEK_VERSION must be defined by the build"
#endif

namespace talvek {

namespace {

int exitStatusOf(CommandResult result) {
  switch (result) {
    case CommandResult::Done:
      return kExitDone;
    case CommandResult::Cancelled:
    case CommandResult::Refused:
      return kExitRefused;
    case CommandResult::Failed:
    case CommandResult::Stopped:  // only by a signal, which ends the process
      return kExitFailed;
  }
  return kExitFailed;
}

int usageError(const std::string& error) {
  std::cerr << "talvek-cli: " << error << "\n"
            << "Try 'talvek-cli --help'." << std::endl;
  return kExitUsage;
}

// Whether path names the file standard input is: /dev/stdin,
// /proc/self/fd/0, another name of the same file, the same pipe. Looked up,
// not opened, so nothing is read from it.
bool isStandardInput(const std::string& path) {
  FileInfo input;
  FileInfo named;
  return infoOfNative(standardInput(), &input).ok() &&
         infoOfPath(path, /*followLinks=*/true, &named).ok() && input.identity == named.identity;
}

std::string secretOptions(bool readsStandardInput) {
  return readsStandardInput ? "give --key-file or --password-file"
                            : "give --key-file, --password-file or --password-stdin";
}

// Puts the secret into the controls, as a user would type it. Returns an
// exit status when the secret cannot be had, else -1.
int fillSecret(const CliOptions& options, const QuestionTerminal& terminal, WindowSystem& window) {
  if (options.secret == SecretSource::KeyFile) {
    window.checkButton(IDC_USE_KEY_FILE);
    window.setControlText(IDC_KEY_FILE, options.secretPath);
    return -1;
  }
  window.checkButton(IDC_USE_PASSWORD);
  std::string first;
  std::optional<std::string> second;
  switch (options.secret) {
    case SecretSource::PasswordFile: {
      int error = 0;
      switch (readFirstLine(options.secretPath, first, error)) {
        case LineRead::Failed:
          return usageError("cannot read the password file " + quotedName(options.secretPath) +
                            ": " + systemErrorText(error));
        case LineRead::TooLong:
          return usageError("the first line of the password file " +
                            quotedName(options.secretPath) + " is longer than 1 MiB");
        default:
          break;
      }
      second = first;
      break;
    }
    case SecretSource::PasswordStdin: {
      int error = 0;
      switch (readLine(standardInput(), first, &error)) {
        case LineRead::Failed:
          return usageError("cannot read the password from standard input: " +
                            systemErrorText(error));
        case LineRead::TooLong:
          return usageError("the password line on standard input is longer than 1 MiB");
        default:
          break;
      }
      second = first;
      break;
    }
    case SecretSource::Terminal:
      first = askLine(terminal.input, terminal.output, "Password #1: ", true).value_or("");
      // Decoding with a mistyped password does no harm: asked once.
      second = options.command == CliCommand::Decode
                   ? first
                   : askLine(terminal.input, terminal.output, "Password #2: ", true);
      break;
    case SecretSource::KeyFile:
      break;
  }
  window.setControlText(IDC_PASSWORD1, first);
  window.setControlText(IDC_PASSWORD2, second.value_or(""));
  return -1;
}

}  // namespace

int runCli(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  if (!parseCliArguments(args, options, error)) return usageError(error);
  switch (options.command) {
    case CliCommand::Help:
      std::cout << cliUsage();
      return kExitDone;
    case CliCommand::Version:
      std::cout << "talvek-cli " << TALVEK_VERSION << std::endl;
      return kExitDone;
    default:
      break;
  }
  const ClosedStreams closed = reopenClosedStreams();

  const bool readsStandardInput = options.source == kStandardStream;
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
  DialogEnvironment environment;
  // Loading the locale reads files: only for a password to be converted.
  const bool typed = options.secret == SecretSource::Terminal;
  if (!options.passwordCharset.empty()) {
    const std::string typedCharset =
        typed && !typedPasswordCharset().empty() ? typedPasswordCharset() : localeCharset();
    if (!charsetConversionAvailable(typedCharset, options.passwordCharset)) {
      return usageError("cannot convert passwords from the locale's character set " + typedCharset +
                        " to " + quotedName(options.passwordCharset));
    }
    environment.passwordCharset = options.passwordCharset;
    environment.passwordTextCharset = typedCharset;
  } else if (typed && !typedPasswordKeyCharset().empty()) {
    environment.passwordCharset = typedPasswordKeyCharset();
    environment.passwordTextCharset = typedPasswordCharset();
  }
  if (options.secret == SecretSource::PasswordFile) {
    environment.protectedPaths.push_back(options.secretPath);
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

  // A bar under a pager or another program's output would get in the way.
  window.showProgress(!options.quiet && isTerminal(standardError()) &&
                      (!writesStandardOutput || isRegularFile(standardOutput())));
  JobReport report;
  const CommandResult result =
      dialog.runStreamCommand(options.command == CliCommand::Encode, ends, &report);
  // Only now, once the command has put the destination's mode back: a job
  // that completed all the same counts as done.
  if (window.stopSignal() != 0) StopSignals::endBy(window.stopSignal());
  // The reader of standard output went away: end as filters do.
  if (result == CommandResult::Failed && writesStandardOutput &&
      report.failure == JobFailure::WriteFailed && report.why.is(Condition::ReaderGone)) {
    StopSignals::endForReaderGone();
  }
  return exitStatusOf(result);
}

}  // namespace talvek
