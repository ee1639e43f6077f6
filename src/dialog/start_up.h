// What the program learns at start: the file named on its command line and
// the directory it runs from.
#pragma once

#include <string>

// executableDirectory() comes from the platform layer.
#include "platform/executable_path.h"

namespace talvek {

// The single argument after the program's name, or "" for any other count:
// that is how the desktop's "Decode with Talvek" hands a file over.
std::string commandLineFileFromArguments(int argc, const char* const* argv);

}  // namespace talvek
