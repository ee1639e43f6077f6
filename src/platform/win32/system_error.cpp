// The meaning of Win32 error codes.
#include <windows.h>

#include "platform/status.h"
#include "platform/win32/wide_text.h"

namespace talvek {

int systemCode(Condition condition) {
  switch (condition) {
    case Condition::None:
      return 0;
    case Condition::NotFound:
      return ERROR_FILE_NOT_FOUND;
    case Condition::Exists:
      return ERROR_FILE_EXISTS;
    case Condition::AccessDenied:
      return ERROR_ACCESS_DENIED;
    case Condition::Busy:
      return ERROR_LOCK_VIOLATION;
    case Condition::Cancelled:
      return ERROR_CANCELLED;
    case Condition::Unsupported:
      return ERROR_NOT_SUPPORTED;
    case Condition::Replaced:
      return ERROR_FILE_INVALID;
    case Condition::NoSpace:
      return ERROR_DISK_FULL;
    case Condition::ReaderGone:
      return ERROR_BROKEN_PIPE;
    case Condition::Other:
      break;
  }
  return ERROR_GEN_FAILURE;
}

Condition conditionOf(int code) {
  switch (static_cast<DWORD>(code)) {
    case 0:
      return Condition::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return Condition::NotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Condition::Exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      return Condition::AccessDenied;
    case ERROR_LOCK_VIOLATION:
    case ERROR_SHARING_VIOLATION:
      return Condition::Busy;
    case ERROR_CANCELLED:
    case ERROR_OPERATION_ABORTED:
      return Condition::Cancelled;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED:
      return Condition::Unsupported;
    case ERROR_FILE_INVALID:
      return Condition::Replaced;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return Condition::NoSpace;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return Condition::ReaderGone;
    default:
      return Condition::Other;
  }
}

std::string systemErrorText(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length > 0 ? utf8FromWide(buffer, length) : std::string();
  if (buffer != nullptr) ::LocalFree(buffer);
  // The system's texts end with a full stop and a line break.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? "Error " + std::to_string(code) : text;
}

}  // namespace talvek
