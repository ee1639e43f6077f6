#include "directory_entries.h"

#include "win32/wide.h"

namespace talvek::test {

std::set<std::string> entries(const std::string& directory) {
  std::set<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(wide(directory + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = narrow(found.cFileName);
    if (name != "." && name != "..") names.insert(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

std::set<std::string> filesBelow(const std::string& directory) {
  std::set<std::string> files;
  for (const std::string& name : entries(directory)) {
    const DWORD attributes = ::GetFileAttributesW(wide(directory + "\\" + name).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      for (const std::string& below : filesBelow(directory + "\\" + name)) {
        files.insert(name + "/" + below);
      }
    } else {
      files.insert(name);
    }
  }
  return files;
}

}  // namespace talvek::test
