// The system's cryptographically secure random bytes, for key material: a
// key must not be reproducible from the time it was made.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvek {

// Fills the buffer, waiting only until the system's generator is first
// seeded (getrandom here, BCryptGenRandom on Windows); false when the
// system has none to give.
bool systemRandomBytes(uint8_t* buffer, size_t size);

}  // namespace talvek
