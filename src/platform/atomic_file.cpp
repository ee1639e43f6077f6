#include "platform/atomic_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/file_status.h"

namespace talvek {
namespace {

// Long enough to tell which target a left-over file belonged to, short enough
// that the name stays within NAME_MAX.
constexpr size_t kMaxNameStem = 200;

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

AtomicFile::~AtomicFile() {
  abandon();
}

bool AtomicFile::fail(int error) {
  error_ = error == 0 ? EIO : error;
  abandon();
  return false;
}

bool AtomicFile::open(const std::string& targetPath, mode_t newFileMode, bool keepTargetMode) {
  abandon();
  error_ = 0;
  restoreOwner_ = false;
  if (!resolveFinalLink(targetPath, &target_)) return fail(errno == 0 ? ELOOP : errno);

  struct stat st;
  if (::stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    if (keepTargetMode) {
      mode_ = st.st_mode & 07777;
      owner_ = st.st_uid;
      group_ = st.st_gid;
      restoreOwner_ = st.st_uid != ::geteuid() || st.st_gid != ::getegid();
    } else {
      mode_ = newFileMode & ~currentUmask() & 07777;
    }
  } else if (errno == ENOENT) {
    mode_ = newFileMode & ~currentUmask() & 07777;
  } else {
    return fail(errno);
  }

  const std::string directory = parentDirectory(target_);
  std::string name = fileNameOf(target_).substr(0, kMaxNameStem);
  std::string pattern = directory + "/." + name + ".XXXXXX";
  // mkostemp creates the file exclusively with mode 0600.
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return fail(errno);
  fd_.reset(fd);
  temporary_ = pattern;
  return true;
}

bool AtomicFile::write(const void* data, size_t size) {
  if (!fd_.valid()) return fail(EBADF);
  if (!writeAll(fd_.get(), data, size)) return fail(errno);
  return true;
}

bool AtomicFile::commit() {
  if (!fd_.valid()) return fail(EBADF);
  if (restoreOwner_) {
    // Only a privileged process may give a file away; others keep their own.
    (void)::fchown(fd_.get(), owner_, group_);
  }
  if (::fchmod(fd_.get(), mode_) != 0) return fail(errno);
  if (::fsync(fd_.get()) != 0) return fail(errno);
  if (!fd_.close()) return fail(errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fail(errno);
  temporary_.clear();
  (void)syncParentDirectory(target_);
  return true;
}

void AtomicFile::abandon() {
  fd_.reset();
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

}  // namespace talvek
