// File-system queries in the form the rest of the program asks them.
#pragma once

#include <string>

#include "platform/file.h"

namespace talvek {

// stat succeeds (following links) and the path is a regular file.
bool isRegularFile(const std::string& path);
// The same of an open file another owns (standard output, say).
bool isRegularFile(NativeFile file);

// Both paths exist (following links) and name the same file: same device
// and inode, however the paths are spelled.
bool sameFile(const std::string& a, const std::string& b);

// Removes a file (not a directory); false when that fails.
bool removeFile(const std::string& path);

// The directory part of a path: "." for a bare name, "/" for "/name".
std::string parentDirectory(const std::string& path);
// Whether a path names its directory at all, with a separator of the
// system's (a slash; on Windows a backslash too); false for a bare name.
bool hasDirectoryPart(const std::string& path);

// Follows a symbolic link at the end of path, link after link, to the path
// that writing through it would create or replace; a path that is not a link
// (or does not exist) is its own target. False on a loop or a read error,
// and (errno EACCES) for a link the kernel would not follow either: one in a
// sticky, world-writable directory owned neither by this process's user nor
// by the directory's owner.
bool resolveFinalLink(const std::string& path, std::string* target);

}  // namespace talvek
