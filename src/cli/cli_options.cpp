#include "cli/cli_options.h"

namespace talvek {

namespace {

// Splits "--name=value" into name and value; other arguments stay whole.
bool splitInlineValue(const std::string& arg, std::string& name, std::string& value) {
  const size_t equals = arg.find('=');
  if (arg.rfind("--", 0) != 0 || equals == std::string::npos) return false;
  name = arg.substr(0, equals);
  value = arg.substr(equals + 1);
  return true;
}

}  // namespace

bool parseCliArguments(const std::vector<std::string>& args, CliOptions& options,
                       std::string& error) {
  options = CliOptions{};
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") {
    options.command = CliCommand::Help;
    return args.size() == 1 || (error = "--help takes no arguments", false);
  }
  if (command == "--version") {
    options.command = CliCommand::Version;
    return args.size() == 1 || (error = "--version takes no arguments", false);
  }
  if (command == "encode") {
    options.command = CliCommand::Encode;
  } else if (command == "decode") {
    options.command = CliCommand::Decode;
  } else if (command == "genkey") {
    options.command = CliCommand::GenerateKey;
  } else {
    error = "unknown command '" + command + "'";
    return false;
  }

  std::vector<std::string> positional;
  bool secretGiven = false;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& given = args[i];
    if (optionsEnded || given.empty() || given[0] != '-' || given == "-") {
      positional.push_back(given);
      continue;
    }
    if (given == "--") {
      optionsEnded = true;
      continue;
    }
    std::string arg = given;
    std::string value;
    const bool hasInlineValue = splitInlineValue(given, arg, value);
    if (arg == "--yes" || arg == "-y") {
      if (hasInlineValue) {
        error = "--yes takes no value";
        return false;
      }
      options.assumeYes = true;
      continue;
    }
    SecretSource secret;
    if (arg == "--key-file") {
      secret = SecretSource::KeyFile;
    } else if (arg == "--password-file") {
      secret = SecretSource::PasswordFile;
    } else if (arg == "--password-stdin") {
      secret = SecretSource::PasswordStdin;
    } else {
      error = "unknown option '" + given + "'";
      return false;
    }
    if (options.command == CliCommand::GenerateKey) {
      error = "genkey takes no secret";
      return false;
    }
    if (secretGiven) {
      error = "give only one of --key-file, --password-file and --password-stdin";
      return false;
    }
    secretGiven = true;
    options.secret = secret;
    if (secret == SecretSource::PasswordStdin) {
      if (hasInlineValue) {
        error = "--password-stdin takes no value";
        return false;
      }
      continue;
    }
    if (!hasInlineValue) {
      if (i + 1 == args.size()) {
        error = arg + " needs a path";
        return false;
      }
      value = args[++i];
    }
    options.secretPath = value;
  }

  const size_t most = options.command == CliCommand::GenerateKey ? 1 : 2;
  if (positional.empty()) {
    error = options.command == CliCommand::GenerateKey ? "genkey needs a PATH"
                                                       : command + " needs a SOURCE";
    return false;
  }
  if (positional.size() > most) {
    error = "too many arguments";
    return false;
  }
  options.source = positional[0];
  if (positional.size() == 2) options.destination = positional[1];
  return true;
}

std::string cliUsage() {
  return "Usage:\n"
         "  talvek-cli encode SOURCE [DESTINATION] [SECRET] [--yes]\n"
         "  talvek-cli decode SOURCE [DESTINATION] [SECRET] [--yes]\n"
         "  talvek-cli genkey PATH [--yes]\n"
         "  talvek-cli --help | --version\n"
         "\n"
         "Encodes or decodes SOURCE into DESTINATION, by default SOURCE without its\n"
         "\".tc\" when it has one, else SOURCE with \".tc\" added. genkey writes a new\n"
         "Morva~Key file to PATH.\n"
         "\n"
         "SECRET is one of:\n"
         "  --key-file PATH       use a Morva~Key file\n"
         "  --password-file PATH  use the first line of PATH as the password\n"
         "  --password-stdin      use the first line of standard input as the password\n"
         "Without one, the password is asked twice on the terminal.\n"
         "\n"
         "  --yes                 replace an existing destination without asking\n"
         "\n"
         "Exit status: 0 done, 1 refused with a warning, 2 usage error, 3 the job failed.\n";
}

}  // namespace talvek
