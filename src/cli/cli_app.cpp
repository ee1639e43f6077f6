#include "cli/cli_app.h"

#include <unistd.h>

#include <iostream>

#include "cli/cli_options.h"
#include "cli/terminal.h"
#include "cli/terminal_window.h"
#include "dialog/destination_rule.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"

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
    case CommandResult::Stopped:  // only by a signal, which ends the process first
      return kExitFailed;
  }
  return kExitFailed;
}

int usageError(const std::string& error) {
  std::cerr << "talvek-cli: " << error << "\n"
            << "Try 'talvek-cli --help'." << std::endl;
  return kExitUsage;
}

// Puts the secret into the controls, as a user would type it. Returns an
// exit status when the secret cannot be had, else -1.
int fillSecret(const CliOptions& options, WindowSystem& window) {
  if (options.secret == SecretSource::KeyFile) {
    window.checkButton(IDC_USE_KEY_FILE);
    window.setControlText(IDC_KEY_FILE, options.secretPath);
    return -1;
  }
  window.checkButton(IDC_USE_PASSWORD);
  std::optional<std::string> first;
  std::optional<std::string> second;
  switch (options.secret) {
    case SecretSource::PasswordFile:
      first = readFirstLine(options.secretPath);
      if (!first) return usageError("cannot read the password file '" + options.secretPath + "'");
      second = first;
      break;
    case SecretSource::PasswordStdin:
      first = readInputLine(/*hideInput=*/false);
      second = first.value_or("");
      break;
    case SecretSource::Terminal:
      if (!isTerminal(STDIN_FILENO)) {
        return usageError(
            "no terminal to ask for the password on; give --key-file, "
            "--password-file or --password-stdin");
      }
      first = readInputLine(/*hideInput=*/true, "Password #1: ");
      second = readInputLine(/*hideInput=*/true, "Password #2: ");
      break;
    case SecretSource::KeyFile:
      break;
  }
  window.setControlText(IDC_PASSWORD1, first.value_or(""));
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

  const bool canAsk = isTerminal(STDIN_FILENO);
  TerminalWindow window(
      std::cerr, [] { return readInputLine(/*hideInput=*/false); }, canAsk, options.assumeYes);
  // The command line keeps no settings: no option store.
  EncoderDialog dialog(window, DialogEnvironment{});

  if (options.command == CliCommand::GenerateKey) {
    window.queueFileChoice(options.source);
    return exitStatusOf(dialog.onGenerateKey());
  }

  window.setControlText(IDC_SOURCE, options.source);
  window.setControlText(IDC_DESTINATION, options.destination.empty()
                                             ? destinationForSource(options.source)
                                             : options.destination);
  if (const int status = fillSecret(options, window); status >= 0) return status;

  window.showProgress(isTerminal(STDERR_FILENO));
  return exitStatusOf(dialog.runTransformCommand(options.command == CliCommand::Encode));
}

}  // namespace talvek
