// Shows the wait cursor for a scope and puts the previous cursor back on
// every way out, or earlier with restore().
#pragma once

#include "dialog/window_system.h"

namespace talvek {

class WaitCursor {
 public:
  explicit WaitCursor(WindowSystem& window) : window_(window) { window_.beginWaitCursor(); }
  ~WaitCursor() { restore(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  void restore() {
    if (active_) window_.restoreCursor();
    active_ = false;
  }

 private:
  WindowSystem& window_;
  bool active_ = true;
};

}  // namespace talvek
