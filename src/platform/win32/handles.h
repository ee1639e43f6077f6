// The handles behind the platform's files on Windows, and what the Win32
// files of the platform share: opening by path, reading what the system
// says of a handle, and its attributes.
#pragma once

#include <windows.h>

#include <string>

#include "platform/file.h"
#include "platform/status.h"

#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336L
#endif

namespace talvek {

inline HANDLE handleOf(NativeFile native) {
  return reinterpret_cast<HANDLE>(native);
}
inline NativeFile nativeOf(HANDLE handle) {
  return reinterpret_cast<NativeFile>(handle);
}

// What the program's own opens let others do: everything, so that they never
// keep the program's other opens (or other programs) from their work. Only a
// job's source is shared for reading alone.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// CreateFileW on widePath(path).
HANDLE openPath(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags);

// What GetFileInformationByHandle says, in the portable form.
Status fileInfoOfHandle(HANDLE handle, FileInfo* info);
bool isDirectoryHandle(HANDLE handle);

FileTime fileTimeOf(const FILETIME& time);
FILETIME fileTimeFrom(const FileTime& time);

// The file's attributes (FILE_ATTRIBUTE_*), or INVALID_FILE_ATTRIBUTES.
DWORD attributesOf(HANDLE handle);
// Sets the attributes through the handle (it needs FILE_WRITE_ATTRIBUTES);
// none at all is FILE_ATTRIBUTE_NORMAL.
bool setAttributes(HANDLE handle, DWORD attributes);

// The name after the path's last separator, either kind.
std::string fileNameOf(const std::string& path);

// Whether the system keeps a file of exactly this name: no character it
// refuses, no device's name ("CON", "nul.txt"), no space or dot at the end
// (which it would drop), at most 255 UTF-16 units.
bool isValidFileName(const std::string& name);

// Makes the names in a directory last a power cut (FlushFileBuffers on the
// directory). OK where the system or file system cannot flush directories:
// NTFS journals their changes itself.
Status flushDirectory(const std::string& path);

// Marks an open file (opened with DELETE access) to be deleted when its last
// handle closes, or when the process dies; or takes the mark back.
bool setDeleteOnClose(HANDLE handle, bool deleteIt);

// A copy of the handle with the same access.
HANDLE duplicateHandle(HANDLE handle);

// The system's answers that mean nothing is at a path.
inline bool meansNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace talvek
