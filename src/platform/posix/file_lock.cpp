#include "platform/file_lock.h"

#include <errno.h>
#include <sys/file.h>

#include <thread>

#include "platform/posix/errno_status.h"

namespace talvek {
namespace {

constexpr std::chrono::milliseconds kPollStep{50};

// Errors that mean "no locks here" rather than "someone holds it".
bool locksUnsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL;
}

}  // namespace

Status lockExclusive(const File& file, std::chrono::milliseconds wait,
                     const std::function<bool()>& keepGoing) {
  const int fd = static_cast<int>(file.native());
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {};
    if (errno == EINTR) continue;
    if (locksUnsupported(errno)) return {};
    if (errno != EWOULDBLOCK) return errnoStatus("lock");
    if (keepGoing && !keepGoing()) return Status::failure("lock", {}, ECANCELED);
    if (std::chrono::steady_clock::now() >= deadline) return Status::failure("lock", {}, EWOULDBLOCK);
    std::this_thread::sleep_for(kPollStep);
  }
}

bool tryLockExclusive(const File& file) {
  const int fd = static_cast<int>(file.native());
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0 || locksUnsupported(errno);
}

}  // namespace talvek
