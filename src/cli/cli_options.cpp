#include "cli/cli_options.h"

#include "cli/name_quoting.h"
#include "dialog/destination_rule.h"

namespace talvek {

namespace {

enum class OptionId { Yes, Quiet, KeyFile, PasswordFile, PasswordStdin, PasswordCharset, Each, Recursive };

struct Option {
  OptionId id;
  CliOptionEntry entry;
};

const std::vector<Option>& options() {
  static const std::vector<Option> table = {
      {OptionId::KeyFile, {"--key-file", 0, "PATH", "use a Morva~Key file", true, false}},
      {OptionId::PasswordFile,
       {"--password-file", 0, "PATH", "use the first line of PATH as the password", true, false}},
      {OptionId::PasswordStdin,
       {"--password-stdin", 0, nullptr, "use the first line of standard input as the password",
        true, false}},
      {OptionId::Yes, {"--yes", 'y', nullptr, "replace an existing destination without asking",
                       false, true}},
      {OptionId::Quiet,
       {"--quiet", 'q', nullptr,
        "show no progress and ask nothing; print only warnings and errors", false, true}},
      {OptionId::Each,
       {"--each", 0, nullptr,
        "take every argument as a SOURCE, written to its proposed destination", false, false}},
      {OptionId::Recursive,
       {"--recursive", 'r', nullptr, "with --each, take the files in folders and their folders",
        false, false}},
      {OptionId::PasswordCharset,
       {"--password-charset", 0, "NAME",
        "turn the password into the character set NAME (iconv names, e.g. WINDOWS-1252) before "
        "use",
        false, false}},
  };
  return table;
}

struct CommandName {
  const char* name;
  CliCommand command;
};
constexpr CommandName kCommands[] = {
    {"encode", CliCommand::Encode}, {"decode", CliCommand::Decode}, {"genkey", CliCommand::GenerateKey}};

const char* nameOf(CliCommand command) {
  for (const CommandName& c : kCommands) {
    if (c.command == command) return c.name;
  }
  return "";
}

// Splits "--name=value" into name and value; other arguments stay whole.
bool splitInlineValue(const std::string& arg, std::string& name, std::string& value) {
  const size_t equals = arg.find('=');
  if (arg.rfind("--", 0) != 0 || equals == std::string::npos) return false;
  name = arg.substr(0, equals);
  value = arg.substr(equals + 1);
  return true;
}

const Option* findOption(const std::string& arg) {
  for (const Option& option : options()) {
    if (arg == option.entry.name) return &option;
    if (option.entry.shortName != 0 && arg.size() == 2 && arg[0] == '-' &&
        arg[1] == option.entry.shortName) {
      return &option;
    }
  }
  return nullptr;
}

bool fail(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

// Sets what an option stands for. `value` is its argument, if it takes one.
bool apply(const Option& option, const std::string& value, CliOptions& options, bool& secretGiven,
           std::string& error) {
  const auto secret = [&](SecretSource source) {
    if (secretGiven) {
      return fail(error, "give only one of --key-file, --password-file and --password-stdin");
    }
    secretGiven = true;
    options.secret = source;
    if (source == SecretSource::PasswordStdin) return true;
    if (value == kStandardStream) {
      return fail(error, std::string(option.entry.name) + " needs a file, not - (./- names a file called -)");
    }
    options.secretPath = value;
    return true;
  };
  switch (option.id) {
    case OptionId::Yes:
      options.assumeYes = true;
      return true;
    case OptionId::Quiet:
      options.quiet = true;
      return true;
    case OptionId::Each:
      options.each = true;
      return true;
    case OptionId::Recursive:
      options.recursive = true;
      return true;
    case OptionId::PasswordCharset:
      if (value.empty()) return fail(error, "--password-charset needs a character set name");
      options.passwordCharset = value;
      return true;
    case OptionId::KeyFile:
      return secret(SecretSource::KeyFile);
    case OptionId::PasswordFile:
      return secret(SecretSource::PasswordFile);
    case OptionId::PasswordStdin:
      return secret(SecretSource::PasswordStdin);
  }
  return true;
}

bool findCommand(const std::string& name, CliCommand& command) {
  for (const CommandName& c : kCommands) {
    if (name == c.name) {
      command = c.command;
      return true;
    }
  }
  return false;
}

// Reads the arguments after the command one at a time: an option (with its
// value), or a positional argument.
class ArgumentReader {
 public:
  enum class Read { Taken, Help, Wrong };

  ArgumentReader(const std::vector<std::string>& args, CliOptions& options, std::string& error)
      : args_(args), options_(options), error_(error) {}

  bool more() const { return next_ < args_.size(); }

  Read next(std::vector<std::string>& positional) {
    const std::string& given = args_[next_++];
    if (optionsEnded_ || given.empty() || given[0] != '-' || given == kStandardStream) {
      positional.push_back(given);
      return Read::Taken;
    }
    if (given == "--") {
      optionsEnded_ = true;
      return Read::Taken;
    }
    if (given == "--help" || given == "-h") return Read::Help;
    return option(given) ? Read::Taken : Read::Wrong;
  }

 private:
  bool option(const std::string& given) {
    std::string arg = given;
    std::string value;
    const bool hasInlineValue = splitInlineValue(given, arg, value);
    const Option* option = findOption(arg);
    if (option == nullptr) return fail(error_, "unknown option " + quotedName(given));
    if (options_.command == CliCommand::GenerateKey && !option->entry.forGenkey) {
      return fail(error_, option->entry.secret ? "genkey takes no secret"
                          : option->id == OptionId::PasswordCharset
                              ? "genkey takes no password"
                              : std::string("genkey takes no ") + option->entry.name);
    }
    if (option->entry.argument == nullptr) {
      if (hasInlineValue) return fail(error_, arg + " takes no value");
    } else if (!hasInlineValue) {
      if (!more()) {
        return fail(error_, arg + " needs " +
                                (std::string(option->entry.argument) == "PATH"
                                     ? "a path"
                                     : "a character set name"));
      }
      value = args_[next_++];
    }
    return apply(*option, value, options_, secretGiven_, error_);
  }

  const std::vector<std::string>& args_;
  CliOptions& options_;
  std::string& error_;
  size_t next_ = 1;  // after the command
  bool optionsEnded_ = false;
  bool secretGiven_ = false;
};

// SOURCE and DESTINATION, genkey's PATH, or --each's sources.
bool takePositional(std::vector<std::string>& positional, CliOptions& options,
                    std::string& error) {
  const bool genkey = options.command == CliCommand::GenerateKey;
  if (positional.empty()) {
    return fail(error, genkey ? "genkey needs a PATH"
                              : std::string(nameOf(options.command)) + " needs a SOURCE");
  }
  if (options.each) {
    options.sources = std::move(positional);
    return true;
  }
  if (positional.size() > (genkey ? 1u : 2u)) return fail(error, "too many arguments");
  options.source = positional[0];
  if (positional.size() == 2) {
    options.destination = positional[1];
    options.hasDestination = true;
  }
  return true;
}

// The checks that need the whole command line.
bool checkCombination(const CliOptions& options, std::string& error) {
  if (options.command == CliCommand::GenerateKey) {
    if (options.source == kStandardStream) {
      return fail(error, "genkey writes a file, not standard output (./- names a file called -)");
    }
    return true;
  }
  if (options.recursive && !options.each) return fail(error, "--recursive goes with --each");
  if (options.each) {
    for (const std::string& source : options.sources) {
      if (source == kStandardStream) {
        return fail(error, "--each takes files, not standard input (./- names a file called -)");
      }
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
      options.source != kStandardStream && !hasEncodedExtension(options.source)) {
    return fail(error, "decode needs a DESTINATION when SOURCE does not end in .tc");
  }
  return true;
}

// "  -y, --yes PATH" padded to the help column, then the help text folded.
std::string optionLine(const CliOptionEntry& entry) {
  std::string left = "  ";
  left += entry.shortName != 0 ? std::string("-") + entry.shortName + ", " : std::string();
  left += entry.name;
  if (entry.argument != nullptr) left += std::string(" ") + entry.argument;
  constexpr size_t kColumn = 27;
  constexpr size_t kWidth = 79;
  std::string text = left.size() + 1 < kColumn ? left + std::string(kColumn - left.size(), ' ')
                                               : left + "\n" + std::string(kColumn, ' ');
  size_t lineStart = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
  std::string word;
  const std::string help = std::string(entry.help) + " ";
  for (char c : help) {
    if (c != ' ') {
      word += c;
      continue;
    }
    if (text.size() - lineStart + word.size() > kWidth) {
      while (!text.empty() && text.back() == ' ') text.pop_back();
      text += "\n" + std::string(kColumn, ' ');
      lineStart = text.size() - kColumn;
    }
    text += word + " ";
    word.clear();
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text + "\n";
}

std::string synopsis(CliCommand command) {
  switch (command) {
    case CliCommand::Encode:
    case CliCommand::Decode:
      return std::string("  talvek-cli ") + nameOf(command) +
             " SOURCE [DESTINATION] [SECRET] [OPTIONS]\n  talvek-cli " + nameOf(command) +
             " --each [-r] SOURCE... [SECRET] [OPTIONS]\n";
    case CliCommand::GenerateKey:
      return "  talvek-cli genkey PATH [--yes] [--quiet]\n";
    default:
      return {};
  }
}

std::string description(CliCommand command) {
  constexpr char kStreams[] =
      "- as SOURCE reads standard input, as DESTINATION writes standard output\n"
      "(the default for SOURCE -); ./- names a file called -.\n";
  switch (command) {
    case CliCommand::Encode:
      return std::string("Encodes SOURCE into DESTINATION, by default SOURCE with \".tc\" added.\n") +
             kStreams +
             "With --each, every SOURCE is encoded beside itself; with -r, the files\n"
             "in folders are too, except those already ending in \".tc\".\n";
    case CliCommand::Decode:
      return std::string(
                 "Decodes SOURCE into DESTINATION, by default SOURCE without its \".tc\"\n"
                 "(a SOURCE without one needs a DESTINATION).\n") +
             kStreams +
             "With --each, every SOURCE is decoded beside itself; with -r, the \".tc\"\n"
             "files in folders are too.\n";
    case CliCommand::GenerateKey:
      return "Writes a new Morva~Key file to PATH.\n";
    default:
      return std::string(
                 "Encodes or decodes SOURCE into DESTINATION. Without DESTINATION, encode\n"
                 "writes SOURCE with \".tc\" added and decode writes SOURCE without its \".tc\"\n"
                 "(a SOURCE without one needs a DESTINATION).\n") +
             kStreams +
             "With --each, every SOURCE is written to that proposed destination; with -r,\n"
             "the files in folders are taken too. genkey writes a new Morva~Key file to\n"
             "PATH.\n";
  }
}

}  // namespace

const std::vector<CliOptionEntry>& cliOptionTable() {
  static const std::vector<CliOptionEntry> table = [] {
    std::vector<CliOptionEntry> entries;
    for (const Option& option : options()) entries.push_back(option.entry);
    return entries;
  }();
  return table;
}

bool parseCliArguments(const std::vector<std::string>& args, CliOptions& options,
                       std::string& error) {
  options = CliOptions{};
  if (args.empty()) return fail(error, "no command given");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "--version") {
    options.command = args[0] == "--version" ? CliCommand::Version : CliCommand::Help;
    return args.size() == 1 || fail(error, args[0] + " takes no arguments");
  }
  if (!findCommand(args[0], options.command)) {
    return fail(error, "unknown command " + quotedName(args[0]));
  }
  ArgumentReader reader(args, options, error);
  std::vector<std::string> positional;
  while (reader.more()) {
    switch (reader.next(positional)) {
      case ArgumentReader::Read::Taken:
        break;
      case ArgumentReader::Read::Help:
        options.helpFor = options.command;
        options.command = CliCommand::Help;
        return true;
      case ArgumentReader::Read::Wrong:
        return false;
    }
  }
  return takePositional(positional, options, error) && checkCombination(options, error);
}

std::string cliUsage(CliCommand command) {
  std::string text = "Usage:\n";
  if (command == CliCommand::Help) {
    text += synopsis(CliCommand::Encode) + synopsis(CliCommand::Decode) +
            synopsis(CliCommand::GenerateKey) + "  talvek-cli --help | --version\n" +
            "  talvek-cli COMMAND --help\n";
  } else {
    text += synopsis(command);
  }
  text += "\n" + description(command);
  if (command != CliCommand::GenerateKey) {
    text += "\nSECRET is one of:\n";
    for (const Option& option : options()) {
      if (option.entry.secret) text += optionLine(option.entry);
    }
    text +=
        "Without one, the password is asked on the terminal: twice to encode, once\n"
        "to decode.\n";
  }
  text += "\nOPTIONS:\n";
  for (const Option& option : options()) {
    if (option.entry.secret) continue;
    if (command == CliCommand::GenerateKey && !option.entry.forGenkey) continue;
    text += optionLine(option.entry);
  }
  text += "\nExit status: 0 done, 1 refused with a warning, 2 usage error, 3 the job failed";
  text += command == CliCommand::GenerateKey ? ".\n" : ";\nwith --each, the worst of the files'.\n";
  return text;
}

}  // namespace talvek
