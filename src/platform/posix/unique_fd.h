// An owned file descriptor, closed when it goes out of scope, and the checked
// read and write loops that every file operation of the program goes through.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace talvek {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the current descriptor (if any) and takes ownership of fd.
  void reset(int fd = -1);
  // Closes the descriptor and reports whether close succeeded; a failed
  // close may mean lost writes on some file systems.
  bool close();

 private:
  int fd_ = -1;
};

// Writes all of data at the file position, retrying short writes and EINTR.
bool writeAll(int fd, const void* data, size_t size);
// Writes all of data at offset, retrying short writes and EINTR.
bool pwriteAll(int fd, const void* data, size_t size, uint64_t offset);
// Reads until size bytes or end of file from offset; returns the count read,
// or -1 on error. A count below size means end of file.
ssize_t preadFull(int fd, void* data, size_t size, uint64_t offset);

// Reserves room for a file of `size` bytes, so that a full disk is found
// before anything is written rather than part-way. False, with errno set,
// only when the file system has no room (ENOSPC, EDQUOT) or the file may
// not grow that large (EFBIG); a file system that cannot reserve counts as
// success.
bool reserveFileSpace(int fd, uint64_t size);

// Starts writing a range of the file to the device without waiting for it, so
// that the writes overlap with the caller's work and a later fsync has little
// left to do. Purely a hint: failures are ignored and fsync still decides.
void startWriteback(int fd, uint64_t offset, uint64_t length);

}  // namespace talvek
