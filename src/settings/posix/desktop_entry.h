// Reading desktop entries that someone else wrote: the program an entry
// starts, and whether an installed program already brings its own entry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace talvek {

// The first argument of the Exec key of the [Desktop Entry] group, with the
// file's string escapes and the key's quoting undone; "" when there is none.
std::string execProgram(std::string_view entryText);

// The executable regular file a command names: itself when it holds a '/'
// and is absolute, else the first match in searchPath, as the desktop
// starts it. "" when there is no such file.
std::string findProgram(const std::string& command, const std::vector<std::string>& searchPath);

// $PATH as directories; the system's default path when it is not set.
std::vector<std::string> commandSearchPath();

// Reads a regular file of at most maxBytes, through a link at its end only
// when followLink is true. False, with errno set, when it is anything else or
// cannot be read.
bool readSmallFile(const std::string& path, std::size_t maxBytes, bool followLink,
                   std::string* text);

}  // namespace talvek
