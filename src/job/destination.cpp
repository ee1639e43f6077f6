#include "job/destination.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/wipe_file.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

namespace talvek {

DestinationState probeDestination(const std::string& path) {
  struct stat st;
  // Anything that exists but is not a regular file (a directory, a FIFO that
  // would block, a device that would be written) is never opened.
  if (::stat(path.c_str(), &st) == 0) {
    return S_ISREG(st.st_mode) ? DestinationState::Exists : DestinationState::NotCreatable;
  }
  // A dangling link: writing through it would create its target, so probe that.
  std::string target;
  if (!resolveFinalLink(path, &target)) return DestinationState::NotCreatable;
  // A signal that ended the process between creating the file and removing
  // it would leave an empty file at the destination: signals wait until it
  // is gone.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &previous);
  UniqueFd fd(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  const bool created = fd.valid();
  fd.reset();
  if (created) (void)wipeFile(target, 1);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return created ? DestinationState::Creatable : DestinationState::NotCreatable;
}

}  // namespace talvek
