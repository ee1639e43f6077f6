// The definitions the fault seam stands in front of: the C library's, or
// the sanitizer runtime's in front of those. The seam's own bookkeeping
// calls them here, so that it is never counted or faulted.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace talvek::test {

// The next definition of the C function `name` after this executable's own;
// aborts the program when there is none.
void* nextDefinition(const char* name);

namespace real {

int open(const char* path, int flags, mode_t mode = 0);
int openat(int dirFd, const char* path, int flags, mode_t mode = 0);
int close(int fd);
ssize_t pread(int fd, void* data, size_t count, off_t offset);
ssize_t pwrite(int fd, const void* data, size_t count, off_t offset);
int ftruncate(int fd, off_t length);
int fchmod(int fd, mode_t mode);
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags);
int renameat(int fromDir, const char* from, int toDir, const char* to);
int unlinkat(int dirFd, const char* path, int flags);

}  // namespace real
}  // namespace talvek::test
