#include "platform/secure_random.h"

#include <errno.h>
#include <sys/random.h>

namespace talvek {

bool systemRandomBytes(uint8_t* buffer, size_t size) {
  while (size > 0) {
    const ssize_t got = ::getrandom(buffer, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    buffer += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace talvek
