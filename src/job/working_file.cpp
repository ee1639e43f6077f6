#include "job/working_file.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/wipe_file.h"
#include "job/working_copy.h"
#include "platform/file_status.h"

namespace talvek {
namespace {

constexpr uint8_t kNameLength = 8;
constexpr uint8_t kExtensionLength = 3;

}  // namespace

bool WorkingFile::create() {
  dispose();
  fd_ = createWorkingFile(kNameLength, kExtensionLength, &path_);
  failedCall_ = fd_.valid() ? "" : "create";
  return fd_.valid();
}

bool WorkingFile::fill(int from, const std::function<bool()>& keepGoing) {
  if (!copyOpenFile(from, fd_.get(), &size_, keepGoing)) {
    failedCall_ = "copy";
    return false;
  }
  // The copy must survive a crash before the only other copy is overwritten.
  if (::fsync(fd_.get()) != 0) {
    failedCall_ = "fsync";
    return false;
  }
  return true;
}

std::string WorkingFile::keep() {
  fd_.reset();
  return std::move(path_);
}

void WorkingFile::dispose() {
  if (!fd_.valid()) return;
  const int saved = errno;  // callers report the errno of what failed before
  struct stat st;
  // The length now, which covers a copy that failed part-way.
  if (::fstat(fd_.get(), &st) == 0 && st.st_size > 0) {
    (void)zeroFileContents(fd_.get(), static_cast<uint64_t>(st.st_size));
  }
  fd_.reset();
  (void)removeFile(path_);
  path_.clear();
  errno = saved;
}

}  // namespace talvek
