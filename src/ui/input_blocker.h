// Keeps the user's clicks and keys away from the program's windows while it
// works: they are dropped, not held for later, while painting goes on. Only
// the window let in with allow() (a progress box) takes input meanwhile.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <functional>

namespace talvek {

class InputBlocker : public QObject {
 public:
  // Blocks from construction on.
  InputBlocker();
  // Stops blocking; call discardPending() first to drop what is still queued.
  ~InputBlocker() override;
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

  void allow(QWidget* window) { allowed_ = window; }
  // Fetches every event the window system holds and drops the input among
  // them, so nothing the user did meanwhile is delivered later.
  void discardPending();

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool isAllowed(QObject* watched) const;

  QPointer<QWidget> allowed_;
};

// Lets the windows paint, but takes no input, until `done` returns true
// (asked every `poll`) or `limit` has passed. True when done.
bool waitWithoutInput(const std::function<bool()>& done, std::chrono::milliseconds limit,
                      std::chrono::milliseconds poll);

}  // namespace talvek
