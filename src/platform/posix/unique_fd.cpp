#include "platform/posix/unique_fd.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace talvek {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool UniqueFd::close() {
  if (fd_ < 0) return true;
  const int result = ::close(release());
  // Linux releases the descriptor even when close reports EINTR.
  return result == 0;
}

namespace {

// Repeats a partial write until every byte is out, retrying on EINTR.
// writeSome(p, n, done) writes up to n bytes from p, done bytes in.
template <typename WriteSome>
bool writeFully(const void* data, size_t size, WriteSome writeSome) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = writeSome(p + done, size - done, done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;  // no progress and no reason: not worth retrying
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool writeAll(int fd, const void* data, size_t size) {
  return writeFully(data, size,
                    [fd](const char* p, size_t n, size_t) { return ::write(fd, p, n); });
}

bool pwriteAll(int fd, const void* data, size_t size, uint64_t offset) {
  return writeFully(data, size, [fd, offset](const char* p, size_t n, size_t done) {
    return ::pwrite(fd, p, n, static_cast<off_t>(offset + done));
  });
}

ssize_t preadFull(int fd, void* data, size_t size, uint64_t offset) {
  char* p = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

bool reserveFileSpace(int fd, uint64_t size) {
  if (size == 0) return true;
  // fallocate, not posix_fallocate: where the file system cannot reserve,
  // the latter writes a byte into every block instead.
  int result = 0;
  do {
    result = ::fallocate(fd, 0, 0, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0 || (errno != ENOSPC && errno != EDQUOT && errno != EFBIG);
}

void startWriteback(int fd, uint64_t offset, uint64_t length) {
  (void)::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                          SYNC_FILE_RANGE_WRITE);
}

}  // namespace talvek
