#include "platform/temp_directory.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace talvek {

std::string tempDirectory() {
  // TMP, TEMP, USERPROFILE or the Windows directory, as the system decides;
  // always with a trailing backslash.
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  return utf8FromWide(buffer, length);
}

}  // namespace talvek
