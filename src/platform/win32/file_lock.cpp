#include "platform/file_lock.h"

#include <windows.h>

#include <thread>

#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"

namespace talvek {
namespace {

constexpr std::chrono::milliseconds kPollStep{50};

// Windows' locks are on byte ranges and keep every other handle from
// reading and writing them. One byte far beyond the end of any file is
// locked, so that the lock keeps out only other locks, as flock does.
constexpr uint64_t kLockOffset = 0x7FFFFFFFFFFFFFF0;

// Errors that mean "no locks here" rather than "someone holds it".
bool locksUnsupported(DWORD error) {
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_CALL_NOT_IMPLEMENTED;
}

// 1 locked, 0 held by another, -1 failed (the error in GetLastError).
int tryLock(const File& file) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(kLockOffset);
  where.OffsetHigh = static_cast<DWORD>(kLockOffset >> 32);
  if (::LockFileEx(handleOf(file.native()), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                   1, 0, &where)) {
    return 1;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return 0;
  return locksUnsupported(error) ? 1 : -1;
}

}  // namespace

Status lockExclusive(const File& file, std::chrono::milliseconds wait,
                     const std::function<bool()>& keepGoing) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const int locked = tryLock(file);
    if (locked > 0) return {};
    if (locked < 0) return lastErrorStatus("lock");
    if (keepGoing && !keepGoing()) return Status::failure("lock", {}, Condition::Cancelled);
    if (std::chrono::steady_clock::now() >= deadline) {
      return Status::failure("lock", {}, Condition::Busy);
    }
    std::this_thread::sleep_for(kPollStep);
  }
}

bool tryLockExclusive(const File& file) {
  return tryLock(file) > 0;
}

}  // namespace talvek
