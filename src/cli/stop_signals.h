// Turns SIGINT, SIGTERM and SIGHUP into a request to stop the running job,
// so the job can clean up after itself before the process ends.
#pragma once

namespace talvek {

class StopSignals {
 public:
  // Catches the three signals until destroyed, then puts the previous
  // handlers back. A signal ignored when this starts (nohup) stays ignored.
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first stop signal caught, or 0.
  static int caught();

  // Ends the process by the signal caught, with its default action, so the
  // shell sees the usual status (130 for SIGINT, 143 for SIGTERM, 129 for
  // SIGHUP) and a script's loop stops as it would for any other program.
  [[noreturn]] static void endByCaughtSignal();

  // Ends the process by `signal` with its default action, as above; SIGPIPE
  // after the reader of standard output went away, as a filter ends.
  [[noreturn]] static void endBy(int signal);
};

}  // namespace talvek
