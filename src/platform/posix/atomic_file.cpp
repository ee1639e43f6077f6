#include "platform/atomic_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/file_status.h"
#include "platform/random_name.h"
#include "platform/target_file.h"
#include "platform/posix/unnamed_file.h"
#include "platform/posix/errno_status.h"
#include "platform/posix/sync_directory.h"
#include "platform/posix/unique_fd.h"

namespace talvek {
namespace {

int fdOf(const File& file) {
  return static_cast<int>(file.native());
}

int directoryOf(const TargetFile& target) {
  return static_cast<int>(target.directory());
}

// Long enough to tell which target a left-over file belonged to, short enough
// that the name stays within NAME_MAX.
constexpr size_t kMaxNameStem = 200;
constexpr int kMaxNameDraws = 100;

// The value of one extended attribute of path, or false with errno set.
bool readAttribute(const std::string& path, const char* name, std::vector<char>& value) {
  for (;;) {
    const ssize_t size = ::lgetxattr(path.c_str(), name, nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<size_t>(size));
    const ssize_t n = ::lgetxattr(path.c_str(), name, value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;  // ERANGE: it grew meanwhile; ask again
  }
}

}  // namespace

mode_t currentUmask() {
  // /proc reports the mask without the race of setting it twice.
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

bool syncParentDirectory(const std::string& path) {
  UniqueFd dir(::open(parentDirectory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.valid() && ::fsync(dir.get()) == 0;
}

bool syncDirectory(int directory) {
  UniqueFd dir(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.valid() && ::fsync(dir.get()) == 0;
}

Status AtomicFile::attributesLost() const {
  if (attributesError_ == 0) return {};
  return Status::failure("setxattr", target_.resolvedPath(), attributesError_);
}

std::string AtomicFile::temporaryPath() const {
  if (temporaryName_.empty()) return {};
  return parentDirectory(target_.resolvedPath()) + "/" + temporaryName_;
}

Status AtomicFile::open(TargetFile target, const Options& options) {
  start(std::move(target), options);
  const std::string& path = target_.resolvedPath();
  const mode_t newMode = options_.newFileMode & ~currentUmask() & 07777;
  if (!target_.exists()) {
    mode_ = newMode;
    return createNewFile();
  }
  const FileInfo& st = target_.info();
  if (!target_.isRegular()) {
    return fail(Status::failure("open", path, st.directory ? EISDIR : EINVAL));
  }
  const bool mayMakeWritable = options_.replaceWriteProtected && st.mayChangePermissions;
  // A rename would get past a file this process may not write.
  if (!mayMakeWritable) {
    int result = ::faccessat(directoryOf(target_), target_.name().c_str(), W_OK,
                             AT_EACCESS | AT_SYMLINK_NOFOLLOW);
    // Kernels before faccessat2 know no flags; the name was no link.
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      result = ::faccessat(directoryOf(target_), target_.name().c_str(), W_OK, AT_EACCESS);
    }
    if (result != 0) return fail(errnoStatus("open", path));
  }
  if (options_.keepTargetMetadata) {
    mode_ = st.permissions | (mayMakeWritable ? S_IWUSR : 0);
    restoreOwner_ = target_.owner() != ::geteuid() || target_.group() != ::getegid();
  } else {
    mode_ = newMode;
  }
  return createNewFile();
}

Status AtomicFile::createNewFile() {
  const int directory = directoryOf(target_);
  const std::string& path = target_.resolvedPath();
  UniqueFd made;
  const Status unnamed = createUnnamedFile(directory, &made);
  if (unnamed.ok()) {
    fd_.reset(made.release());
    unnamed_ = true;
    return {};
  }
  if (!unnamedFilesUnsupported(unnamed)) {
    return fail(unnamed.about(path));
  }
  const std::string stem = "." + target_.name().substr(0, kMaxNameStem) + ".";
  for (int draw = 0; draw < kMaxNameDraws; ++draw) {
    std::string name = stem + randomNameSuffix();
    const int fd = ::openat(directory, name.c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd >= 0) {
      fd_.reset(fd);
      temporaryName_ = std::move(name);
      return {};
    }
    if (errno != EEXIST) break;
  }
  return fail(errnoStatus("create", path));
}

Status AtomicFile::write(const void* data, size_t size) {
  if (!fd_.valid()) return fail(Status::failure("write", target_.resolvedPath(), EBADF));
  if (!writeAll(fdOf(fd_), data, size)) return fail(errnoStatus("write", target_.resolvedPath()));
  return {};
}

void AtomicFile::copyTargetAttributes() {
  // Read through the directory's handle, so they come from the file that
  // was checked rather than from whatever a path leads to by now.
  std::string path = "/proc/self/fd/" + std::to_string(directoryOf(target_)) + "/" + target_.name();
  if (::access("/proc/self/fd", X_OK) != 0) path = target_.resolvedPath();
  const ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
  if (size <= 0) {
    // A file system without extended attributes has none to lose.
    if (size < 0 && errno != ENOTSUP && errno != ENODATA) attributesError_ = errno;
    return;
  }
  std::vector<char> names(static_cast<size_t>(size));
  const ssize_t listed = ::llistxattr(path.c_str(), names.data(), names.size());
  if (listed < 0) {
    attributesError_ = errno;
    return;
  }
  std::vector<char> value;
  for (size_t at = 0; at < static_cast<size_t>(listed);) {
    const char* name = names.data() + at;
    const size_t length = std::char_traits<char>::length(name);
    at += length + 1;
    if (length == 0) continue;
    const bool copied = readAttribute(path, name, value) &&
                        ::fsetxattr(fdOf(fd_), name, value.data(), value.size(), 0) == 0;
    // ENODATA: removed since it was listed.
    if (!copied && errno != ENODATA && attributesError_ == 0) attributesError_ = errno;
  }
}

Status AtomicFile::sync() {
  const std::string& path = target_.resolvedPath();
  if (!fd_.valid()) return fail(Status::failure("fsync", path, EBADF));
  if (synced_) return {};
  // Only a privileged process may give a file away; others keep their own,
  // so a refusal here is expected and not a failure.
  if (restoreOwner_ && ::fchown(fdOf(fd_), target_.owner(), target_.group()) != 0) {
    restoreOwner_ = false;
  }
  // After the owner, which may clear attributes tied to it, and before the
  // mode, which then agrees with a copied access list.
  if (options_.keepTargetMetadata && target_.exists()) copyTargetAttributes();
  if (::fchmod(fdOf(fd_), mode_) != 0) return fail(errnoStatus("chmod", path));
  if (::fsync(fdOf(fd_)) != 0) return fail(errnoStatus("fsync", path));
  synced_ = true;
  return {};
}

Status AtomicFile::linkUnder(const std::string& name) {
  const Status named = nameUnnamedFile(fdOf(fd_), directoryOf(target_), name);
  return named.ok() ? named : named.about(target_.resolvedPath());
}

Status AtomicFile::name() {
  const int directory = directoryOf(target_);
  const std::string& target = target_.name();
  const std::string& path = target_.resolvedPath();
  bool existed = target_.exists();
  if (options_.onlyTheFileChecked && existed) {
    switch (target_.naming()) {
      case TargetFile::Naming::Checked:
        break;
      case TargetFile::Naming::Nothing:
        // Removed meanwhile: the name is taken as a new one, if still free.
        existed = false;
        break;
      case TargetFile::Naming::Other:
        return Status::failure("rename", path, EEXIST);
    }
  }
  if (unnamed_) {
    if (!existed) {
      // The name is taken only if nothing has taken it meanwhile.
      Status linked = linkUnder(target);
      if (linked.ok() || !linked.is(Condition::Exists) || options_.onlyTheFileChecked) return linked;
    }
    // A name to rename from: no call puts an unnamed file over another.
    const std::string stem = "." + target.substr(0, kMaxNameStem) + ".";
    for (int draw = 0; temporaryName_.empty(); ++draw) {
      std::string hidden = stem + randomNameSuffix();
      const Status linked = linkUnder(hidden);
      if (linked.ok()) {
        temporaryName_ = std::move(hidden);
      } else if (!linked.is(Condition::Exists) || draw + 1 >= kMaxNameDraws) {
        return linked;
      }
    }
  }
  const char* from = temporaryName_.c_str();
  if (!existed && options_.onlyTheFileChecked) {
    if (::renameat2(directory, from, directory, target.c_str(), RENAME_NOREPLACE) == 0) {
      temporaryName_.clear();
      return {};
    }
    if (errno != EINVAL && errno != ENOSYS) return errnoStatus("rename", path);
    // No such rename here: a hard link takes a name only if it is free.
    if (::linkat(directory, from, directory, target.c_str(), 0) == 0) {
      (void)::unlinkat(directory, from, 0);
      temporaryName_.clear();
      return {};
    }
    if (errno == EEXIST) return errnoStatus("link", path);
    // No hard links either: the last look is all there is.
    if (target_.naming() != TargetFile::Naming::Nothing) {
      return Status::failure("rename", path, EEXIST);
    }
  }
  if (::renameat(directory, from, directory, target.c_str()) != 0) {
    return errnoStatus("rename", path);
  }
  temporaryName_.clear();
  return {};
}

Status AtomicFile::commit() {
  if (Status synced = sync(); !synced.ok()) return synced;
  // A named file is closed first, so that a close that loses writes (some
  // network file systems) is found before it replaces anything. An unnamed
  // one is named through its descriptor.
  if (!unnamed_) {
    if (Status closed = fd_.close(); !closed.ok()) return fail(closed.about(target_.resolvedPath()));
  }
  if (Status named = name(); !named.ok()) return fail(named);
  fd_.reset();
  (void)syncDirectory(directoryOf(target_));
  unnamed_ = false;
  synced_ = false;
  return {};
}

void AtomicFile::abandon() {
  fd_.reset();
  if (!temporaryName_.empty()) {
    ::unlinkat(directoryOf(target_), temporaryName_.c_str(), 0);
    temporaryName_.clear();
  }
  unnamed_ = false;
  synced_ = false;
}

}  // namespace talvek
