#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/posix/errno_status.h"
#include "platform/posix/file_info.h"
#include "platform/posix/unique_fd.h"

namespace talvek {
namespace {

int fdOf(NativeFile native) {
  return static_cast<int>(native);
}

constexpr size_t kCopyBuffer = size_t{1} << 20;
// Small enough that a request to stop is heard between pieces.
constexpr size_t kKernelCopyChunk = size_t{64} << 20;

// Errors of copy_file_range that mean "not here", not "failed".
bool kernelCopyUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
         error == EBADF || error == ETXTBSY;
}

}  // namespace

FileInfo fileInfoOf(const struct stat& st) {
  FileInfo info;
  info.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  info.size = static_cast<uint64_t>(st.st_size);
  info.modified = {static_cast<int64_t>(st.st_mtim.tv_sec),
                   static_cast<uint32_t>(st.st_mtim.tv_nsec)};
  info.permissions = static_cast<uint32_t>(st.st_mode & 07777);
  info.links = static_cast<uint32_t>(st.st_nlink);
  info.regular = S_ISREG(st.st_mode);
  info.directory = S_ISDIR(st.st_mode);
  const uid_t user = ::geteuid();
  info.someoneElses = user != 0 && st.st_uid != user;
  info.mayChangePermissions = user == 0 || st.st_uid == user;
  return info;
}

void File::reset(NativeFile native) {
  if (native_ != kNoFile) ::close(fdOf(native_));
  native_ = native;
}

Status File::close() {
  if (native_ == kNoFile) return {};
  // Linux releases the descriptor even when close reports EINTR.
  if (::close(fdOf(release())) != 0) return errnoStatus("close");
  return {};
}

Status File::info(FileInfo* info) const {
  struct stat st;
  if (::fstat(fdOf(native_), &st) != 0) return errnoStatus("stat");
  *info = fileInfoOf(st);
  return {};
}

Status File::readAt(uint64_t offset, void* data, size_t size, size_t* got) const {
  const ssize_t n = preadFull(fdOf(native_), data, size, offset);
  if (n < 0) {
    *got = 0;
    return errnoStatus("read");
  }
  *got = static_cast<size_t>(n);
  return {};
}

Status File::writeAt(uint64_t offset, const void* data, size_t size) {
  if (!pwriteAll(fdOf(native_), data, size, offset)) return errnoStatus("write");
  return {};
}

Status File::truncate(uint64_t size) {
  if (::ftruncate(fdOf(native_), static_cast<off_t>(size)) != 0) return errnoStatus("truncate");
  return {};
}

Status File::sync() {
  if (::fsync(fdOf(native_)) != 0) return errnoStatus("fsync");
  return {};
}

Status File::reserve(uint64_t size) {
  if (!reserveFileSpace(fdOf(native_), size)) return errnoStatus("allocate");
  return {};
}

void File::adviseSequential() const {
  (void)::posix_fadvise(fdOf(native_), 0, 0, POSIX_FADV_SEQUENTIAL);
}

void File::startWriteback(uint64_t offset, uint64_t length) {
  talvek::startWriteback(fdOf(native_), offset, length);
}

Status File::setModified(const FileTime& time) {
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(time.seconds), static_cast<long>(time.nanoseconds)}};
  if (::futimens(fdOf(native_), times) != 0) return errnoStatus("utime");
  return {};
}

Status File::setPermissions(uint32_t permissions) {
  if (::fchmod(fdOf(native_), static_cast<mode_t>(permissions & 07777)) != 0) {
    return errnoStatus("chmod");
  }
  return {};
}

Status File::read(void* data, size_t size, size_t* got) {
  *got = 0;
  for (;;) {
    const ssize_t n = ::read(fdOf(native_), data, size);
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return {};
    }
    if (errno != EINTR) return errnoStatus("read");
  }
}

Status File::write(const void* data, size_t size, size_t* written) {
  *written = 0;
  for (;;) {
    const ssize_t n = ::write(fdOf(native_), data, size);
    if (n > 0) {
      *written = static_cast<size_t>(n);
      return {};
    }
    // No progress and no reason: not worth retrying.
    if (n == 0) return Status::failure("write", {}, EIO);
    if (errno != EINTR) return errnoStatus("write");
  }
}

bool File::mayBlock() const {
  // Pipes, terminals and sockets can keep a call waiting indefinitely;
  // files and block devices answer at once.
  struct stat st;
  return ::fstat(fdOf(native_), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

Status File::waitUntilReady(bool forWriting, int milliseconds, bool* ready) const {
  pollfd p{fdOf(native_), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  const int n = ::poll(&p, 1, milliseconds);
  // Errors and hang-ups show in the read or write that follows.
  *ready = n > 0;
  if (n < 0 && errno != EINTR) return errnoStatus("poll");
  return {};
}

Status openForReading(const std::string& path, File* file) {
  // Non-blocking, so that opening a FIFO planted at the path does not wait
  // for a writer.
  File fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) return errnoStatus("open", path);
  struct stat st;
  if (::fstat(fdOf(fd.native()), &st) != 0) return errnoStatus("stat", path);
  if (!S_ISREG(st.st_mode)) return Status::failure("open", path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  const int flags = ::fcntl(fdOf(fd.native()), F_GETFL);
  if (flags < 0 || ::fcntl(fdOf(fd.native()), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return errnoStatus("fcntl", path);
  }
  *file = std::move(fd);
  return {};
}

Status openAnyForReading(const std::string& path, File* file) {
  File fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return errnoStatus("open", path);
  *file = std::move(fd);
  return {};
}

Status infoOfNative(NativeFile native, FileInfo* info) {
  struct stat st;
  if (::fstat(fdOf(native), &st) != 0) return errnoStatus("stat");
  *info = fileInfoOf(st);
  return {};
}

Status createNewFile(const std::string& path, uint32_t permissions, File* file) {
  File fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                 static_cast<mode_t>(permissions)));
  if (!fd.valid()) return errnoStatus("create", path);
  *file = std::move(fd);
  return {};
}

Status openExistingForWriting(const std::string& path, File* file) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  struct stat checked;
  if (::lstat(path.c_str(), &checked) != 0) return errnoStatus("stat", path);
  if (!S_ISREG(checked.st_mode)) return Status::failure("open", path, EINVAL);
  File fd(::open(path.c_str(), O_WRONLY | kFlags));
  if (!fd.valid()) {
    const File held(::open(path.c_str(), O_RDONLY | kFlags));
    struct stat st;
    if (!held.valid() || ::fstat(fdOf(held.native()), &st) != 0) return errnoStatus("open", path);
    if (st.st_ino != checked.st_ino || st.st_dev != checked.st_dev) {
      return Status::failure("open", path, ESTALE);
    }
    if (::fchmod(fdOf(held.native()), st.st_mode | S_IWUSR) != 0) return errnoStatus("chmod", path);
    fd.reset(::open(path.c_str(), O_WRONLY | kFlags));
    if (!fd.valid()) return errnoStatus("open", path);
  }
  struct stat st;
  if (::fstat(fdOf(fd.native()), &st) != 0) return errnoStatus("stat", path);
  if (st.st_ino != checked.st_ino || st.st_dev != checked.st_dev) {
    return Status::failure("open", path, ESTALE);
  }
  *file = std::move(fd);
  return {};
}

Status infoOfPath(const std::string& path, bool followLinks, FileInfo* info) {
  struct stat st;
  const int result = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  if (result != 0) return errnoStatus("stat", path);
  *info = fileInfoOf(st);
  return {};
}

Status copyFileData(const File& from, File& to, uint64_t limit,
                    const std::function<bool()>& keepGoing, uint64_t* copied) {
  *copied = 0;
  const int in = fdOf(from.native());
  const int out = fdOf(to.native());
  struct stat st;
  // Some files (in /proc, /sys, across some file systems) make the kernel
  // copy report 0 before their end; their size says when the end is real.
  const uint64_t size =
      std::min(limit, ::fstat(in, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0);
  const auto stopped = [&keepGoing] { return keepGoing && !keepGoing(); };
  bool kernel = true;
  while (kernel && *copied < size) {
    if (stopped()) return Status::failure("copy", {}, ECANCELED);
    loff_t inOffset = static_cast<loff_t>(*copied);
    loff_t outOffset = inOffset;
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kKernelCopyChunk, size - *copied));
    const ssize_t n = ::copy_file_range(in, &inOffset, out, &outOffset, piece, 0);
    if (n > 0) {
      *copied += static_cast<uint64_t>(n);
    } else if (n == 0) {
      kernel = false;
    } else if (errno == EINTR) {
      continue;
    } else if (kernelCopyUnsupported(errno)) {
      kernel = false;
    } else {
      return errnoStatus("copy");
    }
  }
  const std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  while (*copied < limit) {
    if (stopped()) return Status::failure("copy", {}, ECANCELED);
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, limit - *copied));
    const ssize_t n = preadFull(in, buffer.get(), piece, *copied);
    if (n < 0) return errnoStatus("read");
    if (n == 0) break;
    if (!pwriteAll(out, buffer.get(), static_cast<size_t>(n), *copied)) return errnoStatus("write");
    *copied += static_cast<uint64_t>(n);
  }
  return {};
}

}  // namespace talvek
