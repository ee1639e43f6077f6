#include "platform/folder_listing.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "platform/win32/last_error.h"
#include "platform/win32/wide_text.h"

namespace talvek {

Status listFolder(const std::string& path, bool followLink, std::vector<std::string>* names) {
  names->clear();
  // A folder's name that is a link (a junction or a symbolic link) is not
  // walked into.
  const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return lastErrorStatus("open", path);
  if ((!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Status::failure("open", path, ERROR_DIRECTORY);
  }
  WIN32_FIND_DATAW found;
  const HANDLE search =
      ::FindFirstFileExW(widePath(pathInFolder(path, "*")).c_str(), FindExInfoBasic, &found,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return lastErrorStatus("open", path);
  do {
    const std::string name = utf8FromWide(found.cFileName, std::wcslen(found.cFileName));
    if (name != "." && name != "..") names->push_back(name);
  } while (::FindNextFileW(search, &found));
  const DWORD error = ::GetLastError();
  ::FindClose(search);
  std::sort(names->begin(), names->end());
  if (error != ERROR_NO_MORE_FILES) return Status::failure("read", path, static_cast<int>(error));
  return {};
}

std::string pathInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/' ||
      (folder.size() == 2 && folder[1] == ':')) {
    return folder + name;
  }
  return folder + "\\" + name;
}

}  // namespace talvek
