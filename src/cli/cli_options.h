// The command line of talvek-cli: what to do, on which files, with which
// secret.
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
  std::string source;       // the key file's path for GenerateKey
  std::string destination;  // as given, "" included; see hasDestination
  bool hasDestination = false;
  SecretSource secret = SecretSource::Terminal;
  std::string secretPath;  // for KeyFile and PasswordFile
  bool assumeYes = false;
  bool quiet = false;  // no progress, no questions: only warnings and errors
  // The character set passwords are turned into before use (an iconv name);
  // "" keeps the bytes as typed or read.
  std::string passwordCharset;
};

// Parses the arguments after the program's name. False with `error` set on a
// usage error.
bool parseCliArguments(const std::vector<std::string>& args, CliOptions& options,
                       std::string& error);

// The text --help prints.
std::string cliUsage();

}  // namespace talvek
