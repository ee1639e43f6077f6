// The command line of talvek-cli: what to do, on which files, with which
// secret. Every option is declared once, in a table that both the parser
// and the help text are made from.
#pragma once

#include <string>
#include <vector>

namespace talvek {

enum class CliCommand { Encode, Decode, GenerateKey, Help, Version };

enum class SecretSource {
  Terminal,       // ask for the password twice, without echo
  KeyFile,        // --key-file PATH
  PasswordFile,   // --password-file PATH: its first line
  PasswordStdin,  // --password-stdin: the first line of standard input
};

// "-" as SOURCE or DESTINATION: standard input or standard output.
inline constexpr char kStandardStream[] = "-";

struct CliOptions {
  CliCommand command = CliCommand::Help;
  // For Help: the command whose help is asked for (Help for the whole).
  CliCommand helpFor = CliCommand::Help;
  std::string source;       // the key file's path for GenerateKey
  std::string destination;  // as given, "" included; see hasDestination
  bool hasDestination = false;
  // --each: every argument is a SOURCE, written to its proposed destination.
  bool each = false;
  std::vector<std::string> sources;
  bool recursive = false;  // with --each: folders are walked
  SecretSource secret = SecretSource::Terminal;
  std::string secretPath;  // for KeyFile and PasswordFile
  bool assumeYes = false;
  bool quiet = false;  // no progress, no questions: only warnings and errors
  // The character set passwords are turned into before use (an iconv name);
  // "" keeps the bytes as typed or read.
  std::string passwordCharset;
};

// One option of the table.
struct CliOptionEntry {
  const char* name;       // "--key-file"
  char shortName;         // 'y', or 0 for none
  const char* argument;   // "PATH", "NAME", or nullptr when it takes none
  const char* help;       // what it does, for --help
  bool secret;            // one of the SECRET options
  bool forGenkey;         // genkey takes it too
};
const std::vector<CliOptionEntry>& cliOptionTable();

// Parses the arguments after the program's name. False with `error` set on a
// usage error.
bool parseCliArguments(const std::vector<std::string>& args, CliOptions& options,
                       std::string& error);

// The text --help prints: for every command, or for one.
std::string cliUsage(CliCommand command = CliCommand::Help);

}  // namespace talvek
