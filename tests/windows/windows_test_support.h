// What the Windows tests of the platform and the job share: paths as the
// system writes them, attributes, hard links, files held open by "another
// program", and whether the read-only attribute counts where they run.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/wide_text.h"

namespace talvek::test {

// The path with backslashes only, as the system gives paths back.
inline std::string backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

inline DWORD attributesOf(const std::string& path) {
  return ::GetFileAttributesW(widePath(path).c_str());
}

inline bool setAttributesOf(const std::string& path, DWORD attributes) {
  return ::SetFileAttributesW(widePath(path).c_str(), attributes) != 0;
}

inline bool isReadOnly(const std::string& path) {
  const DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

inline bool hardLink(const std::string& existing, const std::string& link) {
  return ::CreateHardLinkW(widePath(link).c_str(), widePath(existing).c_str(), nullptr) != 0;
}

// A file held open as another program would hold it, sharing only `share`.
class HeldOpen {
 public:
  HeldOpen(const std::string& path, DWORD access, DWORD share)
      : handle_(::CreateFileW(widePath(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0,
                              nullptr)) {}
  ~HeldOpen() { close(); }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void close() {
    if (valid()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// Gives the file a protected access list of its own: its owner may do
// anything, everyone else read. (Wine makes access lists up from the file's
// mode, and keeps none it is given.)
bool setOwnAccessList(const std::string& path);
// The file's access list in the system's text form, "" when unreadable.
std::string accessListOf(const std::string& path);

// Whether a read-only file refuses to be opened for writing here: wine run
// by root lets root write anything, so the attribute means nothing then.
bool readOnlyAttributeCounts();

// Why the read-only cases are skipped where it does not.
inline constexpr char kReadOnlyIgnored[] =
    "wine run as root ignores the read-only attribute; scripts/test-windows.sh runs these "
    "cases again as an ordinary user (windows_read_only_as_user)";

}  // namespace talvek::test
