// Holds the signals that could end the process back, on the calling thread,
// for the life of the object: for a step that must not be cut in two, such
// as making and removing a file at a name that must end up free.
#pragma once

#include <cstdint>

namespace talvek {

class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  // The mask there was before (a sigset_t here).
  alignas(8) unsigned char previous_[128];
};

}  // namespace talvek
