// Where the program looks for Manual.html: beside the executable, as in the
// build tree, or in the data directory an installation puts it in.
#pragma once

#include <string>

namespace talvek {

// programDirectory: the executable's real directory; a trailing '/' is dropped.
// installedRelative: the installed data directory relative to it, such as
// "../share/talvek". Gives the first directory that holds a regular
// Manual.html, else programDirectory, where its absence is then reported.
std::string manualDirectory(std::string programDirectory, const std::string& installedRelative);

}  // namespace talvek
