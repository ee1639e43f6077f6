// Reading a folder that the user named, for walking it: its names, and the
// path of a name in it.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

namespace talvek {

// The names in the folder at `path`, sorted, without "." and "..". Unless
// `followLink`, a link is not followed: a folder's name that has become a
// link fails to open.
Status listFolder(const std::string& path, bool followLink, std::vector<std::string>* names);

// `name` in `folder`, joined with the system's separator unless `folder`
// ends with one.
std::string pathInFolder(const std::string& folder, const std::string& name);

}  // namespace talvek
