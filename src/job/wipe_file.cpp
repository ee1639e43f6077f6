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

bool wipeFile(const std::string& path, uint16_t passes) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
  (void)makeWritable(path);
  if (passes > 0) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (fd.valid() && ::fstat(fd.get(), &st) == 0 && st.st_size > 0) {
      for (uint16_t pass = 0; pass < passes; ++pass) {
        if (!zeroFileContents(fd.get(), static_cast<uint64_t>(st.st_size))) break;
      }
    }
  }
  return removeFile(path);
}

}  // namespace talvek
