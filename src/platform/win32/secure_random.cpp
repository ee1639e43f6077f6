#include "platform/secure_random.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

namespace talvek {

bool systemRandomBytes(uint8_t* buffer, size_t size) {
  while (size > 0) {
    const ULONG piece = static_cast<ULONG>(std::min<size_t>(size, ULONG{1} << 30));
    if (!BCRYPT_SUCCESS(
            ::BCryptGenRandom(nullptr, buffer, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    buffer += piece;
    size -= piece;
  }
  return true;
}

}  // namespace talvek
