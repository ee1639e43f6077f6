#include "settings/posix/lock_wait.h"

#include <algorithm>
#include <thread>

namespace talvek {

namespace {

// Short pauses first: another instance's write is usually over within them.
constexpr int kPausesMs[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};

}  // namespace

void LockWait::limit(Milliseconds total) {
  limited_ = true;
  spent_ = false;
  allowance_ = total;
  waited_ = {};
}

bool LockWait::pause(int attempt) {
  const Clock::time_point now = Clock::now();
  if (attempt == 0) waitStarted_ = now;
  const Clock::duration left =
      limited_ ? allowance_ - waited_ : Clock::duration(kPerWait) - (now - waitStarted_);
  if (left <= Clock::duration::zero() || spent_) {
    if (limited_) spent_ = true;
    return false;
  }
  const int index = std::min<int>(attempt, std::size(kPausesMs) - 1);
  std::this_thread::sleep_for(std::min<Clock::duration>(Milliseconds(kPausesMs[index]), left));
  waited_ += Clock::now() - now;
  return true;
}

int LockWait::busyHandler(void* lockWait, int attempt) {
  return static_cast<LockWait*>(lockWait)->pause(attempt) ? 1 : 0;
}

}  // namespace talvek
