// A failure result from errno, for code right after a failed POSIX call.
#pragma once

#include <errno.h>

#include <string>

#include "platform/status.h"

namespace talvek {

inline Status errnoStatus(const char* operation, std::string path = {}) {
  return Status::failure(operation, std::move(path), errno);
}

}  // namespace talvek
