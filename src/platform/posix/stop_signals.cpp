#include "platform/stop_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iterator>

namespace talvek {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
// Lock-free atomics rather than volatile sig_atomic_t: the handler may run on
// a job's thread while the window's thread reads them.
std::atomic<int> caughtSignal{0};
std::atomic<int> notifyFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");
struct sigaction previous[std::size(kSignals)];

void onStopSignal(int signal) {
  const int savedErrno = errno;  // the interrupted code may be about to read it
  int none = 0;
  caughtSignal.compare_exchange_strong(none, signal);
  if (const int fd = notifyFd.load(); fd >= 0) {
    const char byte = static_cast<char>(signal);
    // A full pipe is readable already: nothing is lost by a failed write.
    const ssize_t written = ::write(fd, &byte, 1);
    (void)written;
  }
  errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals() {
  caughtSignal = 0;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    notifyFd = writeEnd_;
  }
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
  notifyFd = -1;
  if (readEnd_ >= 0) ::close(readEnd_);
  if (writeEnd_ >= 0) ::close(writeEnd_);
}

int StopSignals::caught() {
  return caughtSignal.load();
}

void StopSignals::clearNotifications() const {
  if (readEnd_ < 0) return;
  char buffer[64];
  while (::read(readEnd_, buffer, sizeof buffer) > 0) {
  }
}

void StopSignals::endByCaughtSignal() {
  const int signal = caught();
  endBy(signal != 0 ? signal : SIGTERM);
}

void StopSignals::endForReaderGone() {
  endBy(SIGPIPE);
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
