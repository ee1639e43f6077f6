#include "directory_entries.h"

#include <dirent.h>

namespace talvek::test {

std::set<std::string> entries(const std::string& directory) {
  std::set<std::string> names;
  if (DIR* dir = ::opendir(directory.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(dir);
  }
  return names;
}

}  // namespace talvek::test
