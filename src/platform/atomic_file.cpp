#include "platform/atomic_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/file_status.h"

namespace talvek {
namespace {

// Long enough to tell which target a left-over file belonged to, short enough
// that the name stays within NAME_MAX.
constexpr size_t kMaxNameStem = 200;
constexpr int kMaxNameDraws = 100;

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six characters for a temporary name; unpredictable where the system
// offers random bytes, merely varied otherwise (a taken name is drawn again).
std::string randomSuffix() {
  static constexpr char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static unsigned counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long mix = static_cast<unsigned long>(now.tv_nsec) ^
                        (static_cast<unsigned long>(::getpid()) << 20) ^ (++counter * 2654435761u);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005ul + 1442695040888963407ul;
      mix ^= mix >> 29;
    }
  }
  std::string suffix;
  for (unsigned char b : bytes) suffix += kAlphabet[b % (sizeof kAlphabet - 1)];
  return suffix;
}

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

AtomicFile::~AtomicFile() {
  abandon();
}

bool AtomicFile::fail(const char* call, int error) {
  error_ = error == 0 ? EIO : error;
  failedCall_ = call;
  abandon();
  return false;
}

std::string AtomicFile::temporaryPath() const {
  if (temporaryName_.empty()) return {};
  return parentDirectory(target_) + "/" + temporaryName_;
}

bool AtomicFile::open(const std::string& targetPath, mode_t newFileMode, bool keepTargetMetadata) {
  abandon();
  error_ = 0;
  failedCall_ = "";
  attributesError_ = 0;
  restoreOwner_ = false;
  keepMetadata_ = false;
  synced_ = false;
  if (!resolveFinalLink(targetPath, &target_)) return fail("open", errno == 0 ? ELOOP : errno);

  struct stat st;
  if (::stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return fail("open", S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // A rename would get past a file this process may not write.
    if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return fail("open", errno);
    if (keepTargetMetadata) {
      keepMetadata_ = true;
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
    return fail("open", errno);
  }

  // O_PATH needs only search permission on the directory; the kernel checks
  // write permission when the file is created in it.
  directory_.reset(::open(parentDirectory(target_).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!directory_.valid()) return fail("open", errno);
  const std::string stem = "." + fileNameOf(target_).substr(0, kMaxNameStem) + ".";
  for (int draw = 0; draw < kMaxNameDraws; ++draw) {
    std::string name = stem + randomSuffix();
    const int fd = ::openat(directory_.get(), name.c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd >= 0) {
      fd_.reset(fd);
      temporaryName_ = std::move(name);
      return true;
    }
    if (errno != EEXIST) break;
  }
  return fail("create", errno);
}

bool AtomicFile::write(const void* data, size_t size) {
  if (!fd_.valid()) return fail("write", EBADF);
  if (!writeAll(fd_.get(), data, size)) return fail("write", errno);
  return true;
}

void AtomicFile::copyTargetAttributes() {
  const ssize_t size = ::llistxattr(target_.c_str(), nullptr, 0);
  if (size <= 0) {
    // A file system without extended attributes has none to lose.
    if (size < 0 && errno != ENOTSUP && errno != ENODATA) attributesError_ = errno;
    return;
  }
  std::vector<char> names(static_cast<size_t>(size));
  const ssize_t listed = ::llistxattr(target_.c_str(), names.data(), names.size());
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
    const bool copied = readAttribute(target_, name, value) &&
                        ::fsetxattr(fd_.get(), name, value.data(), value.size(), 0) == 0;
    // ENODATA: removed since it was listed.
    if (!copied && errno != ENODATA && attributesError_ == 0) attributesError_ = errno;
  }
}

bool AtomicFile::sync() {
  if (!fd_.valid()) return fail("fsync", EBADF);
  if (synced_) return true;
  // Only a privileged process may give a file away; others keep their own,
  // so a refusal here is expected and not a failure.
  if (restoreOwner_ && ::fchown(fd_.get(), owner_, group_) != 0) restoreOwner_ = false;
  // After the owner, which may clear attributes tied to it, and before the
  // mode, which then agrees with a copied access list.
  if (keepMetadata_) copyTargetAttributes();
  if (::fchmod(fd_.get(), mode_) != 0) return fail("chmod", errno);
  if (::fsync(fd_.get()) != 0) return fail("fsync", errno);
  synced_ = true;
  return true;
}

bool AtomicFile::commit() {
  if (!sync()) return false;
  if (!fd_.close()) return fail("close", errno);
  const std::string targetName = fileNameOf(target_);
  if (::renameat(directory_.get(), temporaryName_.c_str(), directory_.get(), targetName.c_str()) !=
      0) {
    return fail("rename", errno);
  }
  temporaryName_.clear();
  UniqueFd dir(::openat(directory_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) (void)::fsync(dir.get());
  directory_.reset();
  return true;
}

void AtomicFile::abandon() {
  fd_.reset();
  if (!temporaryName_.empty()) {
    ::unlinkat(directory_.get(), temporaryName_.c_str(), 0);
    temporaryName_.clear();
  }
  directory_.reset();
  synced_ = false;
}

}  // namespace talvek
