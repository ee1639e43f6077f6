#include "platform/stop_signals.h"

#include <windows.h>

#include <csignal>

#include "platform/win32/console_control.h"

namespace talvek {

// The console's control events stand for the signals (console_control.h);
// there is no descriptor to watch, so notificationFd() stays -1.
StopSignals::StopSignals() {
  console::startCatching();
}

StopSignals::~StopSignals() {
  console::stopCatching();
}

int StopSignals::caught() {
  return console::caught();
}

void StopSignals::clearNotifications() const {}

void StopSignals::endByCaughtSignal() {
  const int signal = caught();
  endBy(signal != 0 ? signal : SIGTERM);
}

void StopSignals::endForReaderGone() {
  // The status of a program whose pipe broke under it.
  constexpr UINT kPipeBroken = 0xC000014B;  // STATUS_PIPE_BROKEN
  ::ExitProcess(kPipeBroken);
}

void StopSignals::endBy(int signal) {
  // What a console program ended by Ctrl+C, Ctrl+Break or a closed console
  // exits with, which cmd and PowerShell recognise; other signals end the
  // process with 128 and their number, as a shell would report them.
  const bool stop = signal == SIGINT || signal == SIGBREAK || signal == SIGTERM;
  ::ExitProcess(stop ? STATUS_CONTROL_C_EXIT : static_cast<UINT>(128 + signal));
}

}  // namespace talvek
