#include "cli/secret_controls.h"

#include "cli/cli_messages.h"
#include "cli/name_quoting.h"
#include "cli/terminal.h"
#include "dialog/resource_ids.h"
#include "platform/charset.h"
#include "platform/status.h"

namespace talvek {

namespace {

// Reports why a password line could not be read, as a usage error; -1 when
// it was.
int lineReadStatus(LineRead read, int error, const std::string& cannotRead,
                   const std::string& tooLong) {
  switch (read) {
    case LineRead::Failed:
      return usageError(cannotRead + ": " + systemErrorText(error));
    case LineRead::TooLong:
      return usageError(tooLong + " is longer than 1 MiB");
    default:
      return -1;
  }
}

}  // namespace

std::string secretOptions(bool readsStandardInput) {
  return readsStandardInput ? "give --key-file or --password-file"
                            : "give --key-file, --password-file or --password-stdin";
}

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
      const LineRead read = readFirstLine(options.secretPath, first, error);
      const std::string name = quotedName(options.secretPath);
      const int status = lineReadStatus(read, error, "cannot read the password file " + name,
                                        "the first line of the password file " + name);
      if (status >= 0) return status;
      second = first;
      break;
    }
    case SecretSource::PasswordStdin: {
      int error = 0;
      const LineRead read = readLine(standardInput(), first, &error);
      const int status =
          lineReadStatus(read, error, "cannot read the password from standard input",
                         "the password line on standard input");
      if (status >= 0) return status;
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

int prepareEnvironment(const CliOptions& options, DialogEnvironment& environment) {
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
  return -1;
}

}  // namespace talvek
