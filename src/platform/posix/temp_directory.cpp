#include "platform/temp_directory.h"

#include <sys/stat.h>

#include <cstdlib>

namespace talvek {

std::string tempDirectory() {
  std::string directory = "/tmp";
  if (const char* value = std::getenv("TMPDIR"); value != nullptr && *value != '\0') {
    struct stat st;
    if (::stat(value, &st) == 0 && S_ISDIR(st.st_mode)) directory = value;
  }
  if (directory.back() != '/') directory += '/';
  return directory;
}

}  // namespace talvek
