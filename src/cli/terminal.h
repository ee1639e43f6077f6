// Line input from the terminal or standard input, with echo turned off for
// passwords.
#pragma once

#include <optional>
#include <string>

namespace talvek {

bool isTerminal(int fd);

// One line of standard input without its line end (LF, or CR LF); nullopt
// at end of input with nothing read. With `hideInput` and a terminal on
// standard input, the typed text is not echoed. `prompt`, if any, is
// written to standard error first.
std::optional<std::string> readInputLine(bool hideInput, const char* prompt = nullptr);

// The first line of a file without its line end; nullopt when it cannot be
// read. An empty file gives "".
std::optional<std::string> readFirstLine(const std::string& path);

// Drops one trailing LF and a CR before it.
void stripLineEnd(std::string& line);

}  // namespace talvek
