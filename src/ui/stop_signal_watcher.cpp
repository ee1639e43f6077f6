#include "ui/stop_signal_watcher.h"

#include <QTimer>

#include "dialog/encoder_dialog.h"

namespace talvek {

StopSignalWatcher::StopSignalWatcher(EncoderDialog& dialog, EndBySignal endBySignal)
    : dialog_(dialog), endBySignal_(std::move(endBySignal)), notifier_(QSocketNotifier::Read) {
  // Without a pipe (no descriptor to spare) a signal is still caught, but
  // heard only when a job ends.
  if (signals_.notificationFd() >= 0) {
    notifier_.setSocket(signals_.notificationFd());
    notifier_.setEnabled(true);
  }
  connect(&notifier_, &QSocketNotifier::activated, this, [this] { onSignal(); });
}

StopSignalWatcher::~StopSignalWatcher() = default;

bool StopSignalWatcher::watchJob(const std::function<bool()>& run, std::function<void()> stop) {
  stopJob_ = std::move(stop);
  struct Forget {
    std::function<void()>& stop;
    ~Forget() { stop = nullptr; }
  } forget{stopJob_};
  const bool completed = run();
  // Also a signal the event loop has not heard of yet: it came too late to
  // stop the job, or while the command was getting the job ready.
  if (StopSignals::caught() != 0) {
    ending_ = true;
    jobCompleted_ = completed;
    // After the command's own ending (the destination's mode, the cursor),
    // when control is back in an event loop.
    QTimer::singleShot(0, this, [this] { endAfterJob(); });
  }
  return completed;
}

void StopSignalWatcher::onSignal() {
  signals_.clearNotifications();
  const int signal = StopSignals::caught();
  if (signal == 0 || ending_) return;
  if (stopJob_) {
    stopJob_();
    return;
  }
  dialog_.storeOption();
  endBySignal_(signal);
}

void StopSignalWatcher::endAfterJob() {
  if (jobCompleted_) {
    // The job is done: the program closes as the user would close it.
    dialog_.OnCancel();
    return;
  }
  dialog_.storeOption();
  endBySignal_(StopSignals::caught());
}

}  // namespace talvek
