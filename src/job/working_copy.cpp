#include "job/working_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <memory>

#include "platform/atomic_file.h"
#include "platform/c_random.h"
#include "platform/file_status.h"
#include "platform/temp_directory.h"

namespace talvek {
namespace {

constexpr uint8_t kDefaultNameLength = 8;
constexpr uint8_t kDefaultExtensionLength = 3;
constexpr size_t kCopyBuffer = size_t{1} << 20;
// Small enough that a request to stop is heard between pieces.
constexpr size_t kKernelCopyChunk = size_t{64} << 20;

bool seeded = false;

void appendLetters(std::string& text, uint8_t count) {
  for (uint8_t i = 0; i < count; ++i) text += static_cast<char>('a' + randomBelow(26));
}

// Errors of copy_file_range that mean "not here", not "failed".
bool kernelCopyUnsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
         error == EBADF || error == ETXTBSY;
}

}  // namespace

int randomBelow(int n) {
  if (!seeded) {
    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
    seeded = true;
  }
  return nextRandom() % n;
}

std::string randomFileName(uint8_t nameLength, uint8_t extensionLength) {
  if (nameLength == 0) nameLength = kDefaultNameLength;
  if (extensionLength == 0) extensionLength = kDefaultExtensionLength;
  std::string name;
  name.reserve(nameLength + 1u + extensionLength);
  appendLetters(name, nameLength);
  name += '.';
  appendLetters(name, extensionLength);
  return name;
}

std::string makeTempFilePath(uint8_t nameLength, uint8_t extensionLength) {
  std::string candidate = tempDirectory() + randomFileName(nameLength, extensionLength);
  struct stat st;
  while (::lstat(candidate.c_str(), &st) == 0) {
    candidate = tempDirectory() + randomFileName(nameLength, extensionLength);
  }
  return candidate;
}

bool copyOpenFile(int from, int to, uint64_t* copied, const std::function<bool()>& keepGoing,
                  uint64_t limit) {
  *copied = 0;
  struct stat st;
  // Some files (in /proc, /sys, across some file systems) make the kernel
  // copy report 0 before their end; their size says when the end is real.
  const uint64_t size =
      std::min(limit, ::fstat(from, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0);
  const auto stopped = [&keepGoing] {
    if (!keepGoing || keepGoing()) return false;
    errno = ECANCELED;
    return true;
  };
  bool kernel = true;
  while (kernel && *copied < size) {
    if (stopped()) return false;
    loff_t in = static_cast<loff_t>(*copied);
    loff_t out = in;
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kKernelCopyChunk, size - *copied));
    const ssize_t n = ::copy_file_range(from, &in, to, &out, piece, 0);
    if (n > 0) {
      *copied += static_cast<uint64_t>(n);
    } else if (n == 0) {
      kernel = false;
    } else if (errno == EINTR) {
      continue;
    } else if (kernelCopyUnsupported(errno)) {
      kernel = false;
    } else {
      return false;
    }
  }
  const std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  while (*copied < limit) {
    if (stopped()) return false;
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, limit - *copied));
    const ssize_t n = preadFull(from, buffer.get(), piece, *copied);
    if (n < 0) return false;
    if (n == 0) return true;
    if (!pwriteAll(to, buffer.get(), static_cast<size_t>(n), *copied)) return false;
    *copied += static_cast<uint64_t>(n);
  }
  return true;
}

UniqueFd openRegularFileForReading(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return UniqueFd();
  return fd;
}

bool copyFileContents(const std::string& source, const std::string& destination, bool overwrite) {
  if (!isRegularFile(source)) return false;
  if (sameFile(source, destination)) return true;
  if (isRegularFile(destination) && !overwrite) return false;

  UniqueFd in = openRegularFileForReading(source);
  if (!in.valid()) return false;
  uint64_t copied = 0;
  if (overwrite) {
    AtomicFile out;
    if (!out.open(destination).ok()) return false;
    if (!copyOpenFile(in.get(), out.fd(), &copied)) return false;  // abandoned on scope exit
    return out.commit().ok();
  }
  UniqueFd out(
      ::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out.valid()) return false;
  if (copyOpenFile(in.get(), out.get(), &copied) && out.close()) return true;
  out.reset();
  (void)removeFile(destination);
  return false;
}

}  // namespace talvek
