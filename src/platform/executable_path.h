// Where the running program's file is, for entries that must name it by its
// absolute path and for documents installed beside it.
#pragma once

#include <string>

namespace talvek {

// The absolute path of the running executable (links resolved), or "" when
// the system does not say.
std::string executablePath();

// executablePath()'s directory with a trailing '/', or "" when unknown.
std::string executableDirectory();

}  // namespace talvek
