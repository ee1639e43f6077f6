#include "settings/posix/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/atomic_file.h"
#include "platform/posix/unique_fd.h"

namespace talvek {

namespace {

// The files compared here are small: icons, a desktop entry, a MIME package.
bool holdsExactly(const std::string& path, std::string_view content) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) != content.size()) {
    return false;
  }
  std::string existing(content.size(), '\0');
  return preadFull(fd.get(), existing.data(), existing.size(), 0) ==
             static_cast<ssize_t>(existing.size()) &&
         existing == content;
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
  AtomicFile::Options options;
  options.newFileMode = 0644;
  options.keepTargetMetadata = false;
  AtomicFile file;
  if (!file.open(path, options).ok() || !file.write(content.data(), content.size()).ok() ||
      !file.commit().ok()) {
    return ReplaceOutcome::Failed;
  }
  return ReplaceOutcome::Written;
}

}  // namespace talvek
