#include "platform/signals_held.h"

#include <pthread.h>
#include <signal.h>

#include <cstring>

namespace talvek {

static_assert(sizeof(sigset_t) <= 128, "room for the previous mask");

SignalsHeld::SignalsHeld() {
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &previous);
  std::memcpy(previous_, &previous, sizeof previous);
}

SignalsHeld::~SignalsHeld() {
  sigset_t previous;
  std::memcpy(&previous, previous_, sizeof previous);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace talvek
