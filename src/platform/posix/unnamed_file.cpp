#include "platform/posix/unnamed_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/errno_status.h"

namespace talvek {
namespace {

// Naming goes through the descriptor's entry in /proc; without /proc only
// AT_EMPTY_PATH is left, which needs privileges.
bool haveProcFd() {
  return ::access("/proc/self/fd", X_OK) == 0;
}

}  // namespace

Status createUnnamedFile(int directory, UniqueFd* file) {
  if (!haveProcFd() && ::geteuid() != 0) return Status::failure("create", {}, EOPNOTSUPP);
  UniqueFd fd(::openat(directory, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    // Kernels and file systems without unnamed files say so in these ways.
    const int error = errno == EISDIR || errno == EINVAL ? EOPNOTSUPP : errno;
    return Status::failure("create", {}, error);
  }
  *file = std::move(fd);
  return {};
}

Status nameUnnamedFile(int file, int directory, const std::string& name) {
  int result = 0;
  if (haveProcFd()) {
    const std::string entry = "/proc/self/fd/" + std::to_string(file);
    result = ::linkat(AT_FDCWD, entry.c_str(), directory, name.c_str(), AT_SYMLINK_FOLLOW);
  } else {
    result = ::linkat(file, "", directory, name.c_str(), AT_EMPTY_PATH);
  }
  if (result != 0) return errnoStatus("link");
  return {};
}

}  // namespace talvek
