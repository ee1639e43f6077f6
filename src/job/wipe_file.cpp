#include "job/wipe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/file_status.h"
#include "platform/unique_fd.h"

namespace talvek {
namespace {

constexpr size_t kZeroChunk = size_t{1} << 20;

}  // namespace

bool zeroFileContents(int fd, uint64_t size) {
  static const std::unique_ptr<char[]> zeros(new char[kZeroChunk]());
  bool ok = true;
  for (uint64_t offset = 0; ok && offset < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kZeroChunk, size - offset));
    ok = pwriteAll(fd, zeros.get(), n, offset);
    startWriteback(fd, offset, n);
    offset += n;
  }
  // Zeros that are never synced may never leave the page cache.
  return ::fsync(fd) == 0 && ok;
}

namespace {

// Opens the file for writing, never through a link. A write-protected one
// is made writable first, through a descriptor of that very file, so that a
// name swapped for a link meanwhile cannot turn the change on another file.
UniqueFd openForZeroing(const std::string& path, const struct stat& checked) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  UniqueFd fd(::open(path.c_str(), O_WRONLY | kFlags));
  if (!fd.valid()) {
    const UniqueFd held(::open(path.c_str(), O_RDONLY | kFlags));
    struct stat st;
    if (!held.valid() || ::fstat(held.get(), &st) != 0 || st.st_ino != checked.st_ino ||
        st.st_dev != checked.st_dev || ::fchmod(held.get(), st.st_mode | S_IWUSR) != 0) {
      return UniqueFd();
    }
    fd.reset(::open(path.c_str(), O_WRONLY | kFlags));
  }
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_ino != checked.st_ino ||
      st.st_dev != checked.st_dev) {
    return UniqueFd();
  }
  return fd;
}

}  // namespace

bool wipeFile(const std::string& path, uint16_t passes) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
  UniqueFd fd = openForZeroing(path, st);
  if (passes > 0 && fd.valid() && ::fstat(fd.get(), &st) == 0 && st.st_size > 0) {
    for (uint16_t pass = 0; pass < passes; ++pass) {
      if (!zeroFileContents(fd.get(), static_cast<uint64_t>(st.st_size))) break;
    }
  }
  return removeFile(path);
}

}  // namespace talvek
