// File-system queries in the form the rest of the program asks them.
#pragma once

#include <string>

namespace talvek {

// stat succeeds (following links) and the path is a regular file.
bool isRegularFile(const std::string& path);

// Gives the owner write permission, so an existing file can be replaced.
// False when the path does not exist or cannot be changed.
bool makeWritable(const std::string& path);

}  // namespace talvek
