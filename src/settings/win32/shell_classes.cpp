// The file types in the current user's part of HKEY_CLASSES_ROOT. Writes to
// HKEY_CLASSES_ROOT itself would go to the machine's part for every key
// that the user's part lacks, and fail silently for a user who is no
// administrator: the shell would never offer the program's verb.
#include "settings/shell_classes.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/wide_text.h"
#include "settings/file_types.h"

namespace talvek {

ClassesKey userClassesKey() {
  return {kHkeyCurrentUser, "Software\\Classes"};
}

std::string windowsDirectory() {
  // The original's buffer: a directory the call cannot fit counts as none,
  // and the result is a lone backslash.
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
  const std::string directory = length > 0 && length < MAX_PATH ? utf8FromWide(buffer, length) : "";
  return directory + "\\";
}

std::string_view keyFileOpener() {
  return "notepad.exe";
}

bool shellWantsNotice() {
  return true;
}

void announceFileTypes(const RegistryAccess& registry) {
  if (!registry.location().empty()) return;
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace talvek
