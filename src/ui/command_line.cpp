#include "ui/command_line.h"

#include <QUrl>
#include <string_view>

#include "ui/path_text.h"

namespace talvek {

std::optional<std::string> commandLineAnswer(int argc, const char* const* argv) {
  if (argc != 2 || argv == nullptr || argv[1] == nullptr) return std::nullopt;
  const std::string_view argument = argv[1];
  if (argument == "--version") return "talvek " TALVEK_VERSION "\n";
  if (argument == "--help" || argument == "-h") {
    return "Usage: talvek [FILE]\n"
           "Shows the Talvek window, which encodes and decodes files with a password\n"
           "or a Morva~Key key file. A FILE (a path or a file: URL) fills in the\n"
           "source field and its proposed destination.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the version and exit\n"
           "\n"
           "To open a file named --help, give it as ./--help.\n"
           "The command line of Talvek is talvek-cli(1).\n";
  }
  return std::nullopt;
}

std::string commandLineFilePath(const std::string& argument) {
  if (!argument.starts_with("file://")) return argument;
  const std::optional<std::string> path =
      localFileBytes(QUrl(QString::fromUtf8(argument.data(), static_cast<qsizetype>(argument.size()))));
  return path && !path->empty() ? *path : argument;
}

}  // namespace talvek
