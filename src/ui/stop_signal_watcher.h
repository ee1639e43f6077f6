// Hears SIGINT, SIGTERM and SIGHUP in the window's event loop and ends the
// program by them as a close would, the option stored first. A signal during
// a job stops the job as the progress box's Cancel does; once the command
// that ran it is over, the program ends by the signal, or with status 0 when
// the job completed all the same. Anywhere else (the window idle, a message
// box, a file dialog, About) the program ends at once.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>

#include "platform/stop_signals.h"

namespace talvek {

class EncoderDialog;

class StopSignalWatcher : public QObject {
 public:
  // Ends the process by a signal; StopSignals::endBy in the program.
  using EndBySignal = std::function<void(int signal)>;

  // Catches the signals from now on, on the calling thread's event loop.
  explicit StopSignalWatcher(EncoderDialog& dialog, EndBySignal endBySignal = StopSignals::endBy);
  ~StopSignalWatcher() override;

  // Runs one job through `run` and returns its result; a signal meanwhile
  // calls `stop` (the job's Cancel) rather than ending the program.
  bool watchJob(const std::function<bool()>& run, std::function<void()> stop);

  // A signal came during the last job and the program ends once its
  // command is over: nobody is there to answer a box any more.
  bool ending() const { return ending_; }

 private:
  void onSignal();
  void endAfterJob();

  EncoderDialog& dialog_;
  EndBySignal endBySignal_;
  StopSignals signals_;
  QSocketNotifier notifier_;
  std::function<void()> stopJob_;  // while a job runs
  bool ending_ = false;
  bool jobCompleted_ = false;
};

}  // namespace talvek
