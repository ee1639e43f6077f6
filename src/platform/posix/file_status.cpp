#include "platform/file_status.h"

#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace talvek {

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isRegularFile(NativeFile file) {
  struct stat st;
  return ::fstat(static_cast<int>(file), &st) == 0 && S_ISREG(st.st_mode);
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa;
  struct stat sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool removeFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool hasDirectoryPart(const std::string& path) {
  return path.find('/') != std::string::npos;
}

std::string parentDirectory(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

// The kernel's rule for protected symlinks: in a sticky, world-writable
// directory, only a link owned by the follower or by the directory's owner is
// followed. Following a link ourselves must not get past it.
bool mayFollow(const std::string& linkPath, const struct stat& link) {
  if (link.st_uid == ::geteuid()) return true;
  struct stat dir;
  if (::stat(parentDirectory(linkPath).c_str(), &dir) != 0) return false;
  const bool stickyAndOpen = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
  return !stickyAndOpen || dir.st_uid == link.st_uid;
}

}  // namespace

bool resolveFinalLink(const std::string& path, std::string* target) {
  // The kernel gives up after 40 links; so do we.
  constexpr int kMaxLinks = 40;
  std::string current = path;
  std::vector<char> buffer(PATH_MAX);
  for (int i = 0; i <= kMaxLinks; ++i) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      *target = current;
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {
      *target = current;
      return true;
    }
    if (!mayFollow(current, st)) {
      errno = EACCES;
      return false;
    }
    const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<size_t>(n) >= buffer.size()) return false;
    const std::string link(buffer.data(), static_cast<size_t>(n));
    if (link.empty()) return false;
    if (link.front() == '/' || current.find('/') == std::string::npos) {
      current = link;
    } else {
      current = parentDirectory(current) + "/" + link;
    }
  }
  return false;
}

}  // namespace talvek
