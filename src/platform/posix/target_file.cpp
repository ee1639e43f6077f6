#include "platform/target_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/file_status.h"
#include "platform/posix/errno_status.h"
#include "platform/posix/file_info.h"

namespace talvek {
namespace {

int fdOf(NativeFile native) {
  return static_cast<int>(native);
}

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
  directory_.reset(::open(parentDirectory(resolved_).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!directory_.valid()) return errnoStatus("open", path);
  struct stat st;
  if (::fstatat(fdOf(directory_.native()), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    exists_ = true;
    info_ = fileInfoOf(st);
    owner_ = st.st_uid;
    group_ = st.st_gid;
  } else if (errno != ENOENT) {
    return errnoStatus("stat", path);
  }
  return {};
}

TargetFile TargetFile::duplicate() const {
  TargetFile copy;
  if (directory_.valid()) {
    copy.directory_.reset(::fcntl(fdOf(directory_.native()), F_DUPFD_CLOEXEC, 0));
  }
  copy.exists_ = exists_;
  copy.info_ = info_;
  copy.owner_ = owner_;
  copy.group_ = group_;
  copy.name_ = name_;
  copy.resolved_ = resolved_;
  return copy;
}

std::string TargetFile::absolutePath() const {
  std::string directory = pathOfDescriptor(fdOf(directory_.native()));
  if (directory.empty()) {
    if (!resolved_.empty() && resolved_.front() == '/') return resolved_;
    std::vector<char> buffer(PATH_MAX + 1);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return resolved_;
    directory = std::string(buffer.data()) + "/" + parentDirectory(resolved_);
  }
  return directory == "/" ? "/" + name_ : directory + "/" + name_;
}

Status TargetFile::reopen(Access access, File* file, uint32_t permissions) const {
  int flags = access == Access::Read ? O_RDONLY : O_WRONLY;
  if (access == Access::CreateNew) flags |= O_CREAT | O_EXCL;
  // Non-blocking, so a FIFO put in the file's place cannot hold the call.
  File fd(::openat(fdOf(directory_.native()), name_.c_str(),
                   flags | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK,
                   static_cast<mode_t>(permissions)));
  if (!fd.valid()) return errnoStatus("open", resolved_);
  struct stat now;
  if (::fstat(fdOf(fd.native()), &now) != 0) return errnoStatus("stat", resolved_);
  const FileInfo found = fileInfoOf(now);
  const bool created = access == Access::CreateNew;
  if (!found.regular || (!created && (!exists_ || !(found.identity == info_.identity)))) {
    return Status::failure("open", resolved_, ESTALE);
  }
  const int fileFlags = ::fcntl(fdOf(fd.native()), F_GETFL);
  if (fileFlags < 0 || ::fcntl(fdOf(fd.native()), F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
    return errnoStatus("fcntl", resolved_);
  }
  *file = std::move(fd);
  return {};
}

Status TargetFile::removeCreated() const {
  if (::unlinkat(fdOf(directory_.native()), name_.c_str(), 0) != 0) {
    return errnoStatus("remove", resolved_);
  }
  return {};
}

TargetFile::Naming TargetFile::naming() const {
  struct stat now;
  if (::fstatat(fdOf(directory_.native()), name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? Naming::Nothing : Naming::Other;
  }
  return exists_ && fileInfoOf(now).identity == info_.identity ? Naming::Checked : Naming::Other;
}

TargetFile::Creatable TargetFile::probeCreatable() const {
  const long maxName = ::fpathconf(fdOf(directory_.native()), _PC_NAME_MAX);
  if (maxName > 0 && name_.size() > static_cast<size_t>(maxName)) return Creatable::No;
  File unnamed(
      ::openat(fdOf(directory_.native()), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (unnamed.valid()) return Creatable::Yes;
  // Kernels and file systems without unnamed files say so in these ways.
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return Creatable::Unknown;
  return Creatable::No;
}

}  // namespace talvek
