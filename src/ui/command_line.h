// What the window's program makes of its arguments before and after it has a
// window: --help and --version are answered at once, without a display, and
// a file manager's file URL stands for its file.
#pragma once

#include <optional>
#include <string>

namespace talvek {

// The text for a lone --help, -h or --version (its exit status is 0);
// nullopt when the arguments are for the window. Qt is not needed for it.
std::optional<std::string> commandLineAnswer(int argc, const char* const* argv);

// The file an argument names: a local file's URL ("file:///a%20b.tc", as
// some file managers pass a selection) is turned into its path; any other
// argument is a path already.
std::string commandLineFilePath(const std::string& argument);

}  // namespace talvek
