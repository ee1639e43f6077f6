#include "platform/file_status.h"

#include <sys/stat.h>

namespace talvek {

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool makeWritable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return ::chmod(path.c_str(), st.st_mode | S_IWUSR) == 0;
}

}  // namespace talvek
