#include "cli/cli_options.h"

#include "cli/name_quoting.h"
#include "dialog/destination_rule.h"

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

bool fail(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

// The checks that need the whole command line.
bool checkCombination(const CliOptions& options, std::string& error) {
  if (options.command == CliCommand::GenerateKey) {
    if (options.source == kStandardStream) {
      return fail(error, "genkey writes a file, not standard output (./- names a file called -)");
    }
    return true;
  }
  if (options.source == kStandardStream && options.secret == SecretSource::PasswordStdin) {
    return fail(error,
                "--password-stdin cannot be used when SOURCE is - (standard input carries the "
                "data); give --password-file or --key-file");
  }
  // The proposed name of a decoded file that has no ".tc" to drop would end
  // in ".tc": a plain file named like an encoded one.
  if (options.command == CliCommand::Decode && !options.hasDestination && !options.source.empty() &&
      options.source != kStandardStream &&
      destinationForSource(options.source) == options.source + ".tc") {
    return fail(error, "decode needs a DESTINATION when SOURCE does not end in .tc");
  }
  return true;
}

}  // namespace

bool parseCliArguments(const std::vector<std::string>& args, CliOptions& options,
                       std::string& error) {
  options = CliOptions{};
  if (args.empty()) return fail(error, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") {
    options.command = CliCommand::Help;
    return args.size() == 1 || fail(error, "--help takes no arguments");
  }
  if (command == "--version") {
    options.command = CliCommand::Version;
    return args.size() == 1 || fail(error, "--version takes no arguments");
  }
  if (command == "encode") {
    options.command = CliCommand::Encode;
  } else if (command == "decode") {
    options.command = CliCommand::Decode;
  } else if (command == "genkey") {
    options.command = CliCommand::GenerateKey;
  } else {
    return fail(error, "unknown command " + quotedName(command));
  }
  const bool genkey = options.command == CliCommand::GenerateKey;

  std::vector<std::string> positional;
  bool secretGiven = false;
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& given = args[i];
    if (optionsEnded || given.empty() || given[0] != '-' || given == kStandardStream) {
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
    // Takes the option's value from "=VALUE" or the next argument.
    auto takeValue = [&](const char* what) {
      if (hasInlineValue) return true;
      if (i + 1 == args.size()) return fail(error, arg + " needs " + what);
      value = args[++i];
      return true;
    };
    if (arg == "--yes" || arg == "-y" || arg == "--quiet" || arg == "-q") {
      if (hasInlineValue) return fail(error, arg + " takes no value");
      (arg == "--yes" || arg == "-y" ? options.assumeYes : options.quiet) = true;
      continue;
    }
    if (arg == "--password-charset") {
      if (genkey) return fail(error, "genkey takes no password");
      if (!takeValue("a character set name")) return false;
      if (value.empty()) return fail(error, "--password-charset needs a character set name");
      options.passwordCharset = value;
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
      return fail(error, "unknown option " + quotedName(given));
    }
    if (genkey) return fail(error, "genkey takes no secret");
    if (secretGiven) {
      return fail(error, "give only one of --key-file, --password-file and --password-stdin");
    }
    secretGiven = true;
    options.secret = secret;
    if (secret == SecretSource::PasswordStdin) {
      if (hasInlineValue) return fail(error, "--password-stdin takes no value");
      continue;
    }
    if (!takeValue("a path")) return false;
    if (value == kStandardStream) {
      return fail(error, arg + " needs a file, not - (./- names a file called -)");
    }
    options.secretPath = value;
  }

  const size_t most = genkey ? 1 : 2;
  if (positional.empty())
    return fail(error, genkey ? "genkey needs a PATH" : command + " needs a SOURCE");
  if (positional.size() > most) return fail(error, "too many arguments");
  options.source = positional[0];
  if (positional.size() == 2) {
    options.destination = positional[1];
    options.hasDestination = true;
  }
  return checkCombination(options, error);
}

std::string cliUsage() {
  return "Usage:\n"
         "  talvek-cli encode SOURCE [DESTINATION] [SECRET] [OPTIONS]\n"
         "  talvek-cli decode SOURCE [DESTINATION] [SECRET] [OPTIONS]\n"
         "  talvek-cli genkey PATH [--yes] [--quiet]\n"
         "  talvek-cli --help | --version\n"
         "\n"
         "Encodes or decodes SOURCE into DESTINATION. Without DESTINATION, encode\n"
         "writes SOURCE with \".tc\" added and decode writes SOURCE without its \".tc\"\n"
         "(a SOURCE without one needs a DESTINATION). - as SOURCE reads standard\n"
         "input, as DESTINATION writes standard output (the default for SOURCE -);\n"
         "./- names a file called -. genkey writes a new Morva~Key file to PATH.\n"
         "\n"
         "SECRET is one of:\n"
         "  --key-file PATH       use a Morva~Key file\n"
         "  --password-file PATH  use the first line of PATH as the password\n"
         "  --password-stdin      use the first line of standard input as the password\n"
         "Without one, the password is asked on the terminal: twice to encode, once\n"
         "to decode.\n"
         "\n"
         "OPTIONS:\n"
         "  -y, --yes                    replace an existing destination without asking\n"
         "  -q, --quiet                  show no progress and ask nothing; print only\n"
         "                               warnings and errors\n"
         "  --password-charset NAME      turn the password into the character set NAME\n"
         "                               (iconv names, e.g. WINDOWS-1252) before use\n"
         "\n"
         "Exit status: 0 done, 1 refused with a warning, 2 usage error, 3 the job failed.\n";
}

}  // namespace talvek
