#include "cli/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <iterator>

namespace talvek {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t caughtSignal = 0;
struct sigaction previous[std::size(kSignals)];

void onStopSignal(int signal) {
  if (caughtSignal == 0) caughtSignal = signal;
}

}  // namespace

StopSignals::StopSignals() {
  caughtSignal = 0;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], nullptr, &previous[i]);
    // A signal the caller chose to ignore (nohup, a background job of a
    // script) stays ignored: it was never meant to stop this program.
    if (previous[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr);
  }
}

StopSignals::~StopSignals() {
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    ::sigaction(kSignals[i], &previous[i], nullptr);
  }
}

int StopSignals::caught() {
  return caughtSignal;
}

void StopSignals::endByCaughtSignal() {
  endBy(caughtSignal != 0 ? caughtSignal : SIGTERM);
}

void StopSignals::endBy(int signal) {
  ::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // only if the default action did not end the process
}

}  // namespace talvek
