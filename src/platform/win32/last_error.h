// A failure result from GetLastError, for code right after a failed Win32
// call.
#pragma once

#include <windows.h>

#include <string>

#include "platform/status.h"

namespace talvek {

inline Status lastErrorStatus(const char* operation, std::string path = {}) {
  return Status::failure(operation, std::move(path), static_cast<int>(::GetLastError()));
}

}  // namespace talvek
