#include "settings/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/atomic_file.h"

namespace talvek {

namespace {

bool holdsExactly(const std::string& path, std::string_view content) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<std::size_t>(st.st_size) == content.size();
  char buffer[8192];
  std::size_t offset = 0;
  while (same && offset < content.size()) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || content.compare(offset, static_cast<std::size_t>(got),
                                    std::string_view(buffer, static_cast<std::size_t>(got))) != 0) {
      same = false;
      break;
    }
    offset += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return same;
}

}  // namespace

bool makeDirectories(const std::string& dir) {
  for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st;
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

ReplaceOutcome replaceFileIfDifferent(const std::string& path, std::string_view content) {
  if (holdsExactly(path, content)) return ReplaceOutcome::Unchanged;
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !makeDirectories(path.substr(0, slash))) {
    return ReplaceOutcome::Failed;
  }
  AtomicFile file;
  if (!file.open(path, 0644, /*keepTargetMode=*/false) ||
      !file.write(content.data(), content.size()) || !file.commit()) {
    return ReplaceOutcome::Failed;
  }
  return ReplaceOutcome::Written;
}

}  // namespace talvek
