#include "job/destination.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/wipe_file.h"
#include "platform/target_file.h"
#include "platform/unique_fd.h"

namespace talvek {
namespace {

// Where the file system has no unnamed files, a file is made at the name
// and removed again. A signal that ended the process in between would leave
// an empty file at the destination: signals wait until it is gone. (Nothing
// holds back SIGKILL or a power cut; unnamed files are why those leave
// nothing elsewhere.)
DestinationState probeByCreating(const TargetFile& target) {
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &previous);
  Status status;
  UniqueFd fd = target.reopen(O_WRONLY | O_CREAT | O_EXCL, &status);
  const bool created = fd.valid();
  fd.reset();
  if (created) (void)wipeFile(target.resolvedPath(), 1);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return created ? DestinationState::Creatable : DestinationState::NotCreatable;
}

}  // namespace

DestinationState probeDestination(const std::string& path) {
  struct stat st;
  // Anything that exists but is not a regular file (a directory, a FIFO that
  // would block, a device that would be written) is never opened.
  if (::stat(path.c_str(), &st) == 0) {
    return S_ISREG(st.st_mode) ? DestinationState::Exists : DestinationState::NotCreatable;
  }
  // A dangling link: writing through it would create its target, so probe that.
  TargetFile target;
  if (!target.open(path).ok() || target.exists()) return DestinationState::NotCreatable;
  switch (target.probeCreatable()) {
    case TargetFile::Creatable::Yes:
      return DestinationState::Creatable;
    case TargetFile::Creatable::No:
      return DestinationState::NotCreatable;
    case TargetFile::Creatable::Unknown:
      break;
  }
  return probeByCreating(target);
}

}  // namespace talvek
