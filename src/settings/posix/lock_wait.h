// How long the store's operations may wait for another instance's lock: up
// to a few seconds per wait, or, once limited, a fixed allowance for a whole
// run of operations (a dialog's start or close), after which they go on
// without the store instead of waiting again.
#pragma once

#include <chrono>

namespace talvek {

class LockWait {
 public:
  using Clock = std::chrono::steady_clock;
  using Milliseconds = std::chrono::milliseconds;

  // What a single wait may take while no limit is set: long enough to
  // outlast another instance's write, which takes milliseconds.
  static constexpr Milliseconds kPerWait{5000};

  // From now on all waits together take at most `total`; nothing waited
  // before counts.
  void limit(Milliseconds total);

  // Whether a limited allowance has run out: the operations that follow
  // fail at once, without touching the store, until limit() is called again.
  bool spent() const { return spent_; }
  // Time spent waiting since limit().
  Milliseconds waited() const { return std::chrono::duration_cast<Milliseconds>(waited_); }

  // One pause of a wait: attempt counts from 0 at the wait's first pause.
  // Sleeps a little and returns true, or returns false when the wait is to
  // end (kPerWait reached, or the allowance spent).
  bool pause(int attempt);

  // For sqlite3_busy_handler, with the LockWait as its argument.
  static int busyHandler(void* lockWait, int attempt);

 private:
  bool limited_ = false;
  bool spent_ = false;
  Clock::duration allowance_{};
  Clock::duration waited_{};
  Clock::time_point waitStarted_{};
};

}  // namespace talvek
