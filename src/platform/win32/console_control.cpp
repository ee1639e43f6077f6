#include "platform/win32/console_control.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <mutex>

namespace talvek::console {
namespace {

// How long the handler keeps a closing console (or a logoff, a shutdown)
// from ending the process, so that a stopped job can clean up: the system
// gives five seconds before it ends the process itself.
constexpr DWORD kCloseGraceMilliseconds = 4500;

std::atomic<int> catching{0};
std::atomic<int> caughtSignal{0};
std::atomic<int> holders{0};
std::atomic<int> deferredSignal{0};
std::once_flag installed;

bool endsTheProcessAnyway(DWORD event) {
  return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

BOOL WINAPI onControlEvent(DWORD event) {
  return handleEvent(event) ? TRUE : FALSE;
}

void install() {
  std::call_once(installed, [] { ::SetConsoleCtrlHandler(onControlEvent, TRUE); });
}

}  // namespace

bool handleEvent(unsigned long event) {
  const int signal = signalOfEvent(event);
  if (catching.load() > 0) {
    int none = 0;
    caughtSignal.compare_exchange_strong(none, signal);
  } else if (holders.load() > 0) {
    int none = 0;
    deferredSignal.compare_exchange_strong(none, signal);
  } else {
    return false;  // the system's default: the process ends
  }
  // Returning ends the process for these: give the job its time first.
  if (endsTheProcessAnyway(event)) ::Sleep(kCloseGraceMilliseconds);
  return true;
}

int signalOfEvent(unsigned long event) {
  switch (event) {
    case CTRL_C_EVENT:
      return SIGINT;
    case CTRL_BREAK_EVENT:
      return SIGBREAK;
    default:
      return SIGTERM;
  }
}

void startCatching() {
  install();
  caughtSignal = 0;
  catching.fetch_add(1);
}

void stopCatching() {
  catching.fetch_sub(1);
}

int caught() {
  return caughtSignal.load();
}

void hold() {
  install();
  holders.fetch_add(1);
}

void release() {
  if (holders.fetch_sub(1) != 1) return;
  const int deferred = deferredSignal.exchange(0);
  if (deferred != 0 && catching.load() == 0) ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace talvek::console
