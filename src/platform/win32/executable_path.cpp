#include "platform/executable_path.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace talvek {

std::string executablePath() {
  // GetModuleFileNameW does not say how long the path is; grow until it fits.
  for (DWORD size = MAX_PATH; size <= (DWORD{1} << 16); size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) {
      std::wstring path(buffer.data(), length);
      if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
      return utf8FromWide(path);
    }
  }
  return {};
}

std::string executableDirectory() {
  const std::string path = executablePath();
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace talvek
