// Whether two paths name the same file, so a command can refuse to overwrite
// the key file it is using.
#pragma once

#include <string>

namespace talvek {

// Both paths stat (following links) to the same device and inode.
bool isSameFile(const std::string& a, const std::string& b);

}  // namespace talvek
