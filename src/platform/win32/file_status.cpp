#include "platform/file_status.h"

#include <windows.h>

#include "platform/win32/handles.h"
#include "platform/win32/wide_text.h"

namespace talvek {

bool isRegularFile(const std::string& path) {
  FileInfo info;
  return infoOfPath(path, /*followLinks=*/true, &info).ok() && info.regular;
}

bool isRegularFile(NativeFile file) {
  FileInfo info;
  return infoOfNative(file, &info).ok() && info.regular;
}

bool sameFile(const std::string& a, const std::string& b) {
  FileInfo first;
  FileInfo second;
  return infoOfPath(a, true, &first).ok() && infoOfPath(b, true, &second).ok() &&
         first.identity == second.identity;
}

bool removeFile(const std::string& path) {
  return ::DeleteFileW(widePath(path).c_str()) != 0;
}

bool hasDirectoryPart(const std::string& path) {
  return path.find_first_of("/\\") != std::string::npos;
}

std::string parentDirectory(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) {
    // "C:name" is in the drive's current directory.
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  }
  // A root keeps its separator: "C:" alone is the drive's current directory.
  if (slash == 0) return path.substr(0, 1);
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

bool resolveFinalLink(const std::string& path, std::string* target) {
  // The system follows symbolic links and junctions itself, wherever they
  // are in a path; nothing is followed by hand.
  *target = path;
  return true;
}

}  // namespace talvek
