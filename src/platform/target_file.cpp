#include "platform/target_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <vector>

#include "platform/file_status.h"
#include "platform/posix/errno_status.h"

namespace talvek {
namespace {

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path a descriptor was opened by, as the kernel keeps it.
std::string pathOfDescriptor(int fd) {
  std::vector<char> buffer(PATH_MAX + 1);
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size() || buffer[0] != '/') return {};
  return std::string(buffer.data(), static_cast<size_t>(n));
}

}  // namespace

Status TargetFile::open(const std::string& path) {
  exists_ = false;
  directory_.reset();
  name_.clear();
  if (!resolveFinalLink(path, &resolved_)) {
    return Status::failure("open", path, errno == 0 ? ELOOP : errno);
  }
  name_ = fileNameOf(resolved_);
  if (name_.empty() || name_ == "." || name_ == "..") return Status::failure("open", path, EISDIR);
  directory_.reset(
      ::open(parentDirectory(resolved_).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!directory_.valid()) return errnoStatus("open", path);
  if (::fstatat(directory_.get(), name_.c_str(), &status_, AT_SYMLINK_NOFOLLOW) == 0) {
    exists_ = true;
  } else if (errno != ENOENT) {
    return errnoStatus("stat", path);
  }
  return {};
}

TargetFile TargetFile::duplicate() const {
  TargetFile copy;
  if (directory_.valid()) copy.directory_.reset(::fcntl(directory_.get(), F_DUPFD_CLOEXEC, 0));
  copy.exists_ = exists_;
  copy.status_ = status_;
  copy.name_ = name_;
  copy.resolved_ = resolved_;
  return copy;
}

bool TargetFile::mayChangeMode() const {
  const uid_t user = ::geteuid();
  return user == 0 || (exists_ && status_.st_uid == user);
}

std::string TargetFile::absolutePath() const {
  std::string directory = pathOfDescriptor(directory_.get());
  if (directory.empty()) {
    if (!resolved_.empty() && resolved_.front() == '/') return resolved_;
    std::vector<char> buffer(PATH_MAX + 1);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return resolved_;
    directory = std::string(buffer.data()) + "/" + parentDirectory(resolved_);
  }
  return directory == "/" ? "/" + name_ : directory + "/" + name_;
}

UniqueFd TargetFile::reopen(int flags, Status* status, mode_t mode) const {
  // Non-blocking, so a FIFO put in the file's place cannot hold the call.
  UniqueFd fd(::openat(directory_.get(), name_.c_str(),
                       flags | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, mode));
  if (!fd.valid()) {
    *status = errnoStatus("open", resolved_);
    return fd;
  }
  struct stat now;
  if (::fstat(fd.get(), &now) != 0) {
    *status = errnoStatus("stat", resolved_);
    return UniqueFd();
  }
  const bool created = (flags & O_CREAT) != 0;
  if (!S_ISREG(now.st_mode) || (!created && (!exists_ || !sameIdentity(now, status_)))) {
    *status = Status::failure("open", resolved_, ESTALE);
    return UniqueFd();
  }
  const int fileFlags = ::fcntl(fd.get(), F_GETFL);
  if (fileFlags < 0 || ::fcntl(fd.get(), F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
    *status = errnoStatus("fcntl", resolved_);
    return UniqueFd();
  }
  *status = {};
  return fd;
}

TargetFile::Naming TargetFile::naming() const {
  struct stat now;
  if (::fstatat(directory_.get(), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? Naming::Nothing : Naming::Other;
  }
  return exists_ && sameIdentity(now, status_) ? Naming::Checked : Naming::Other;
}

TargetFile::Creatable TargetFile::probeCreatable() const {
  const long maxName = ::fpathconf(directory_.get(), _PC_NAME_MAX);
  if (maxName > 0 && name_.size() > static_cast<size_t>(maxName)) return Creatable::No;
  UniqueFd unnamed(::openat(directory_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (unnamed.valid()) return Creatable::Yes;
  // Kernels and file systems without unnamed files say so in these ways.
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return Creatable::Unknown;
  return Creatable::No;
}

}  // namespace talvek
