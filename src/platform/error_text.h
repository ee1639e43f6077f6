// The system's words for an errno value, for the messages users read.
#pragma once

#include <string>
#include <system_error>

namespace talvek {

// The same text as strerror, without its shared buffer.
inline std::string systemErrorText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

}  // namespace talvek
