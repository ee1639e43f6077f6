#include "platform/executable_path.h"

#include <unistd.h>

#include <vector>

namespace talvek {

std::string executablePath() {
  // readlink does not say whether it cut the path short; grow until it fits.
  for (std::size_t size = 256; size <= (1u << 16); size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
  }
  return {};
}

std::string executableDirectory() {
  const std::string path = executablePath();
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace talvek
