#include "real_calls.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace talvek::test {

void* nextDefinition(const char* name) {
  void* const found = dlsym(RTLD_NEXT, name);
  if (found == nullptr) {
    std::fprintf(stderr, "fault seam: no %s to forward to\n", name);
    std::abort();
  }
  return found;
}

// Declares `next`, the definition of the global `name` past the seam's,
// looked up once.
#define TALVEK_REAL(name) \
  static const auto next = reinterpret_cast<decltype(&::name)>(nextDefinition(#name))

namespace real {

int open(const char* path, int flags, mode_t mode) {
  TALVEK_REAL(open);
  return next(path, flags, mode);
}

int openat(int dirFd, const char* path, int flags, mode_t mode) {
  TALVEK_REAL(openat);
  return next(dirFd, path, flags, mode);
}

int close(int fd) {
  TALVEK_REAL(close);
  return next(fd);
}

ssize_t pread(int fd, void* data, size_t count, off_t offset) {
  TALVEK_REAL(pread);
  return next(fd, data, count, offset);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  TALVEK_REAL(pwrite);
  return next(fd, data, count, offset);
}

int ftruncate(int fd, off_t length) {
  TALVEK_REAL(ftruncate);
  return next(fd, length);
}

int fchmod(int fd, mode_t mode) {
  TALVEK_REAL(fchmod);
  return next(fd, mode);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  TALVEK_REAL(linkat);
  return next(fromDir, from, toDir, to, flags);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  TALVEK_REAL(renameat);
  return next(fromDir, from, toDir, to);
}

int unlinkat(int dirFd, const char* path, int flags) {
  TALVEK_REAL(unlinkat);
  return next(dirFd, path, flags);
}

}  // namespace real
}  // namespace talvek::test
