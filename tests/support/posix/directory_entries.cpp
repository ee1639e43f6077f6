#include "directory_entries.h"

#include <dirent.h>
#include <sys/stat.h>

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

std::set<std::string> filesBelow(const std::string& directory) {
  std::set<std::string> files;
  for (const std::string& name : entries(directory)) {
    struct stat st;
    if (::lstat((directory + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      for (const std::string& below : filesBelow(directory + "/" + name)) {
        files.insert(name + "/" + below);
      }
    } else {
      files.insert(name);
    }
  }
  return files;
}

}  // namespace talvek::test
