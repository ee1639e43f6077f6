#include "platform/directory.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/posix/errno_status.h"
#include "platform/posix/sync_directory.h"
#include "platform/posix/unnamed_file.h"

namespace talvek {
namespace {

int fdOf(const File& file) {
  return static_cast<int>(file.native());
}

}  // namespace

Status PrivateDirectory::open(const std::string& path, bool create) {
  handle_.reset();
  path_ = path;
  if (path.empty()) return Status::failure("open", "$HOME", ENOENT);
  if (path.front() != '/') return Status::failure("open", path, ENOENT);
  if (create) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
      const std::string part = path.substr(0, slash);
      if (::mkdir(part.c_str(), 0700) == 0) {
        (void)syncParentDirectory(part);
      } else if (errno != EEXIST) {
        return errnoStatus("mkdir", part);
      }
      if (slash == std::string::npos) break;
    }
  }
  File dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir.valid()) return errnoStatus("open", path);
  struct stat st;
  if (::fstat(fdOf(dir), &st) != 0) return errnoStatus("stat", path);
  if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return Status::failure("open", path, EPERM);
  }
  handle_ = std::move(dir);
  return {};
}

PrivateDirectory PrivateDirectory::duplicate() const {
  PrivateDirectory copy;
  copy.path_ = path_;
  if (handle_.valid()) copy.handle_.reset(::fcntl(fdOf(handle_), F_DUPFD_CLOEXEC, 0));
  return copy;
}

Status PrivateDirectory::createUnnamed(File* file) {
  UniqueFd fd;
  const Status made = createUnnamedFile(fdOf(handle_), &fd);
  if (!made.ok()) return made.about(path_);
  file->reset(fd.release());
  return {};
}

Status PrivateDirectory::createExclusive(const std::string& name, File* file) {
  const int fd = ::openat(fdOf(handle_), name.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return errnoStatus("create", path_ + "/" + name);
  file->reset(fd);
  return {};
}

Status PrivateDirectory::openOwnFile(const std::string& name, File* file) {
  const std::string where = path_ + "/" + name;
  File fd(::openat(fdOf(handle_), name.c_str(),
                   O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return errnoStatus("open", where);
  struct stat st;
  if (::fstat(fdOf(fd), &st) != 0) return errnoStatus("stat", where);
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return Status::failure("open", where, EPERM);
  *file = std::move(fd);
  return {};
}

Status PrivateDirectory::name(const File& file, const std::string& name) {
  const Status named = nameUnnamedFile(fdOf(file), fdOf(handle_), name);
  return named.ok() ? named : named.about(path_ + "/" + name);
}

Status PrivateDirectory::rename(const std::string& from, const std::string& to) {
  const int dir = fdOf(handle_);
  if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return errnoStatus("rename", path_ + "/" + to);
  // No such rename here: a hard link takes a name only if it is free.
  if (::linkat(dir, from.c_str(), dir, to.c_str(), 0) != 0) return errnoStatus("link", path_ + "/" + to);
  (void)::unlinkat(dir, from.c_str(), 0);
  return {};
}

Status PrivateDirectory::remove(const std::string& name) {
  if (::unlinkat(fdOf(handle_), name.c_str(), 0) != 0) return errnoStatus("remove", path_ + "/" + name);
  return {};
}

Status PrivateDirectory::sync() {
  if (!syncDirectory(fdOf(handle_))) return errnoStatus("fsync", path_);
  return {};
}

std::vector<std::string> PrivateDirectory::names() const {
  std::vector<std::string> names;
  const int fd = ::openat(fdOf(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return names;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace talvek
