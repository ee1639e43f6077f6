#include "platform/signals_held.h"

#include "platform/win32/console_control.h"

namespace talvek {

// Control events that come meanwhile wait until the last SignalsHeld goes.
SignalsHeld::SignalsHeld() : previous_{} {
  console::hold();
}

SignalsHeld::~SignalsHeld() {
  console::release();
}

}  // namespace talvek
