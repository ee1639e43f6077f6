// Random parts of the names the program gives its own files.
#pragma once

#include <string>

namespace talvek {

// Six letters and digits: unpredictable where the system offers random
// bytes, merely varied otherwise, so callers draw again when a name is taken.
std::string randomNameSuffix();

}  // namespace talvek
