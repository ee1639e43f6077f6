#include "windows_test_support.h"

#include "temp_dir.h"

namespace talvek::test {

bool readOnlyAttributeCounts() {
  TempDir dir;
  const std::string path = dir.file("read-only");
  writeFile(path, "x");
  setAttributesOf(path, FILE_ATTRIBUTE_READONLY);
  const HANDLE file = ::CreateFileW(widePath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  ::CloseHandle(file);
  return false;
}

}  // namespace talvek::test
