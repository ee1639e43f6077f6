#include "platform/win32/handles.h"

#include <cwctype>
#include <string_view>

#include "platform/win32/wide_text.h"

namespace talvek {
namespace {

// FILETIME counts 100 ns from 1601; the portable time counts from 1970.
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kEpochTicks = 116444736000000000;

}  // namespace

HANDLE openPath(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) {
  return ::CreateFileW(widePath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
}

FileTime fileTimeOf(const FILETIME& time) {
  const int64_t ticks =
      static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) -
      kEpochTicks;
  int64_t seconds = ticks / kTicksPerSecond;
  int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  return {seconds, static_cast<uint32_t>(rest * 100)};
}

FILETIME fileTimeFrom(const FileTime& time) {
  const uint64_t ticks =
      static_cast<uint64_t>(time.seconds * kTicksPerSecond + time.nanoseconds / 100 + kEpochTicks);
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(ticks);
  result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return result;
}

Status fileInfoOfHandle(HANDLE handle, FileInfo* info) {
  BY_HANDLE_FILE_INFORMATION by;
  if (!::GetFileInformationByHandle(handle, &by)) {
    return Status::failure("stat", {}, static_cast<int>(::GetLastError()));
  }
  FileInfo result;
  result.identity = {by.dwVolumeSerialNumber,
                     (uint64_t{by.nFileIndexHigh} << 32) | by.nFileIndexLow};
  result.size = (uint64_t{by.nFileSizeHigh} << 32) | by.nFileSizeLow;
  result.modified = fileTimeOf(by.ftLastWriteTime);
  result.permissions = (by.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  result.links = by.nNumberOfLinks;
  result.directory = (by.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  result.regular = !result.directory && ::GetFileType(handle) == FILE_TYPE_DISK;
  // Access lists, not owners, decide who may write a file here: a rename
  // hands nothing over, and the read-only attribute is anyone's to change
  // who may write the file's attributes.
  result.someoneElses = false;
  result.mayChangePermissions = true;
  *info = result;
  return {};
}

bool isDirectoryHandle(HANDLE handle) {
  const DWORD attributes = attributesOf(handle);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

DWORD attributesOf(HANDLE handle) {
  FILE_BASIC_INFO basic;
  if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
    return INVALID_FILE_ATTRIBUTES;
  }
  return basic.FileAttributes;
}

bool setAttributes(HANDLE handle, DWORD attributes) {
  // Times of 0 stay as they are.
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isValidFileName(const std::string& name) {
  const std::wstring wide = wideFromUtf8(name);
  if (wide.empty() || wide.size() > 255 || wide == L"." || wide == L"..") return false;
  if (wide.back() == L' ' || wide.back() == L'.') return false;
  for (const wchar_t c : wide) {
    if (c < 32 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) {
      return false;
    }
  }
  // A device's name stays the device's with any extension, and with spaces
  // before it.
  std::wstring stem = wide.substr(0, wide.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (wchar_t& c : stem) c = static_cast<wchar_t>(::towupper(c));
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (stem == device) return false;
  }
  const bool numbered = stem.size() == 4 &&
                        (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) &&
                        ((stem[3] >= L'0' && stem[3] <= L'9') || stem[3] == 0xB9 ||
                         stem[3] == 0xB2 || stem[3] == 0xB3);
  return !numbered;
}

Status flushDirectory(const std::string& path) {
  const HANDLE directory = openPath(path, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS);
  if (directory == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED) return {};
    return Status::failure("flush", path, static_cast<int>(error));
  }
  const bool flushed = ::FlushFileBuffers(directory) != 0;
  const DWORD error = ::GetLastError();
  ::CloseHandle(directory);
  if (flushed || error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION ||
      error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER) {
    return {};
  }
  return Status::failure("flush", path, static_cast<int>(error));
}

bool setDeleteOnClose(HANDLE handle, bool deleteIt) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleteIt ? TRUE : FALSE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

HANDLE duplicateHandle(HANDLE handle) {
  HANDLE copy = INVALID_HANDLE_VALUE;
  const HANDLE process = ::GetCurrentProcess();
  if (handle == INVALID_HANDLE_VALUE ||
      !::DuplicateHandle(process, handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return INVALID_HANDLE_VALUE;
  }
  return copy;
}

}  // namespace talvek
