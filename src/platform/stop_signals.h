// Turns SIGINT, SIGTERM and SIGHUP into a request to stop, so that the
// running job can clean up after itself before the process ends, and tells
// an event loop about it through a descriptor that becomes readable.
#pragma once

namespace talvek {

class StopSignals {
 public:
  // Catches the three signals until destroyed, then puts the previous
  // handlers back. A signal ignored when this starts (nohup) stays ignored.
  // One at a time per process: the handler's state is the process's.
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first stop signal caught since construction, or 0. Any thread may ask.
  static int caught();

  // Becomes readable once a stop signal has been caught, for an event loop
  // to watch; -1 if no pipe could be made (signals are still caught).
  int notificationFd() const { return readEnd_; }
  // Empties the notification descriptor, so that it is readable again only
  // when another signal comes.
  void clearNotifications() const;

  // Ends the process by the signal caught, with its default action, so the
  // shell sees the usual status (130 for SIGINT, 143 for SIGTERM, 129 for
  // SIGHUP) and a script's loop stops as it would for any other program.
  [[noreturn]] static void endByCaughtSignal();

  // Ends the process by `signal` with its default action, as above.
  [[noreturn]] static void endBy(int signal);

  // Ends the process as a filter ends when the reader of its output went
  // away: by SIGPIPE here, with the status Windows gives a broken pipe there.
  [[noreturn]] static void endForReaderGone();

 private:
  int readEnd_ = -1;
  int writeEnd_ = -1;
};

}  // namespace talvek
