#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/stop_signals.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"

namespace talvek {
namespace {

constexpr size_t kCopyBuffer = size_t{1} << 20;
// The most one ReadFile or WriteFile is asked to move.
constexpr DWORD kMaxTransfer = DWORD{1} << 30;
// How often a wait for a pipe looks whether data has come: pipes cannot be
// waited on.
constexpr int kPipePollMilliseconds = 20;

HANDLE h(NativeFile native) {
  return handleOf(native);
}

OVERLAPPED at(uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

DWORD transferSize(size_t size) {
  return static_cast<DWORD>(std::min<size_t>(size, kMaxTransfer));
}

// Whether a failed open of a path found a directory there, which the system
// only calls "access denied".
bool isDirectoryPath(const std::string& path) {
  const HANDLE found =
      openPath(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (found == INVALID_HANDLE_VALUE) return false;
  const bool directory = isDirectoryHandle(found);
  ::CloseHandle(found);
  return directory;
}

// Opens an existing regular file without following a reparse point at the
// name, and checks it is the file `checked` says.
Status openChecked(const std::string& path, DWORD access, const FileInfo& checked, File* file) {
  File opened(nativeOf(openPath(path, access, kShareAll, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT)));
  if (!opened.valid()) return lastErrorStatus("open", path);
  FileInfo now;
  if (Status looked = opened.info(&now); !looked.ok()) return looked.about(path);
  if (!now.regular || !(now.identity == checked.identity)) {
    return Status::failure("open", path, Condition::Replaced);
  }
  *file = std::move(opened);
  return {};
}

}  // namespace

void File::reset(NativeFile native) {
  if (native_ != kNoFile) ::CloseHandle(h(native_));
  native_ = native;
}

Status File::close() {
  if (native_ == kNoFile) return {};
  if (!::CloseHandle(h(release()))) return lastErrorStatus("close");
  return {};
}

Status File::info(FileInfo* info) const {
  return fileInfoOfHandle(h(native_), info);
}

Status File::readAt(uint64_t offset, void* data, size_t size, size_t* got) const {
  char* p = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    OVERLAPPED where = at(offset + done);
    DWORD n = 0;
    if (!::ReadFile(h(native_), p + done, transferSize(size - done), &n, &where)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      *got = 0;
      return lastErrorStatus("read");
    }
    if (n == 0) break;
    done += n;
  }
  *got = done;
  return {};
}

Status File::writeAt(uint64_t offset, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    OVERLAPPED where = at(offset + done);
    DWORD n = 0;
    if (!::WriteFile(h(native_), p + done, transferSize(size - done), &n, &where)) {
      return lastErrorStatus("write");
    }
    // No progress and no reason: not worth retrying.
    if (n == 0) return Status::failure("write", {}, Condition::Other);
    done += n;
  }
  return {};
}

Status File::truncate(uint64_t size) {
  FILE_END_OF_FILE_INFO end;
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFileInformationByHandle(h(native_), FileEndOfFileInfo, &end, sizeof end)) {
    return lastErrorStatus("truncate");
  }
  return {};
}

Status File::sync() {
  if (!::FlushFileBuffers(h(native_))) return lastErrorStatus("flush");
  return {};
}

Status File::reserve(uint64_t size) {
  if (size == 0) return {};
  FILE_ALLOCATION_INFO allocation;
  allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
  if (::SetFileInformationByHandle(h(native_), FileAllocationInfo, &allocation,
                                   sizeof allocation)) {
    return {};
  }
  // Only a full disk counts: some file systems (and wine) cannot reserve.
  const Status failed = lastErrorStatus("allocate");
  return failed.is(Condition::NoSpace) ? failed : Status();
}

void File::adviseSequential() const {
  // Said when the file is opened (FILE_FLAG_SEQUENTIAL_SCAN).
}

void File::startWriteback(uint64_t, uint64_t) {
  // The system writes behind on its own; FlushFileBuffers decides.
}

Status File::setModified(const FileTime& time) {
  const FILETIME written = fileTimeFrom(time);
  if (!::SetFileTime(h(native_), nullptr, nullptr, &written)) return lastErrorStatus("utime");
  return {};
}

Status File::setPermissions(uint32_t permissions) {
  const DWORD attributes = attributesOf(h(native_));
  if (attributes == INVALID_FILE_ATTRIBUTES) return lastErrorStatus("chmod");
  const DWORD wanted = (permissions & 0200) != 0 ? attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}
                                                 : attributes | FILE_ATTRIBUTE_READONLY;
  if (wanted != attributes && !setAttributes(h(native_), wanted & ~DWORD{FILE_ATTRIBUTE_NORMAL})) {
    return lastErrorStatus("chmod");
  }
  return {};
}

Status File::read(void* data, size_t size, size_t* got) {
  *got = 0;
  DWORD n = 0;
  if (!::ReadFile(h(native_), data, transferSize(size), &n, nullptr)) {
    // The writer of a pipe went away: the stream's end.
    if (::GetLastError() == ERROR_BROKEN_PIPE) return {};
    return lastErrorStatus("read");
  }
  *got = n;
  return {};
}

Status File::write(const void* data, size_t size, size_t* written) {
  *written = 0;
  DWORD n = 0;
  if (!::WriteFile(h(native_), data, transferSize(size), &n, nullptr)) {
    return lastErrorStatus("write");
  }
  if (n == 0 && size > 0) return Status::failure("write", {}, Condition::Other);
  *written = n;
  return {};
}

bool File::mayBlock() const {
  return ::GetFileType(h(native_)) != FILE_TYPE_DISK;
}

Status File::waitUntilReady(bool forWriting, int milliseconds, bool* ready) const {
  *ready = true;
  const HANDLE handle = h(native_);
  const DWORD type = ::GetFileType(handle);
  // Writes to pipes and consoles cannot be waited for: they wait themselves.
  if (forWriting || (type != FILE_TYPE_PIPE && type != FILE_TYPE_CHAR)) return {};
  DWORD mode = 0;
  if (type == FILE_TYPE_CHAR) {
    // A console's input can be waited on; other character devices answer.
    if (!::GetConsoleMode(handle, &mode)) return {};
    const DWORD waited =
        ::WaitForSingleObject(handle, static_cast<DWORD>(std::max(0, milliseconds)));
    if (waited == WAIT_FAILED) return lastErrorStatus("wait");
    *ready = waited == WAIT_OBJECT_0;
    return {};
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    DWORD available = 0;
    // A failure (the writer gone) shows in the read that follows.
    if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr) || available > 0) {
      return {};
    }
    // A stop request ends the wait as a signal ends poll.
    if (StopSignals::caught() != 0 || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPipePollMilliseconds));
  }
  *ready = false;
  return {};
}

Status openForReading(const std::string& path, File* file) {
  // Shared for reading only: no program may write the file while a job
  // reads it. Only disk files: a pipe or device at the path is refused.
  File opened(nativeOf(openPath(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN)));
  if (!opened.valid()) {
    const Status failed = lastErrorStatus("open", path);
    if (failed.is(Condition::AccessDenied) && isDirectoryPath(path)) {
      return Status::failure("open", path, ERROR_DIRECTORY_NOT_SUPPORTED);
    }
    return failed;
  }
  FileInfo info;
  if (Status looked = opened.info(&info); !looked.ok()) return looked.about(path);
  if (!info.regular) return Status::failure("open", path, Condition::Replaced);
  *file = std::move(opened);
  return {};
}

Status openAnyForReading(const std::string& path, File* file) {
  File opened(nativeOf(openPath(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)));
  if (!opened.valid()) return lastErrorStatus("open", path);
  *file = std::move(opened);
  return {};
}

Status infoOfNative(NativeFile native, FileInfo* info) {
  return fileInfoOfHandle(h(native), info);
}

Status infoOfPath(const std::string& path, bool followLinks, FileInfo* info) {
  // No access rights asked for: nobody's sharing keeps this from looking.
  const DWORD flags =
      FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : DWORD{FILE_FLAG_OPEN_REPARSE_POINT});
  const File found(nativeOf(openPath(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, flags)));
  if (!found.valid()) return lastErrorStatus("stat", path);
  if (Status looked = found.info(info); !looked.ok()) return looked.about(path);
  return {};
}

Status createNewFile(const std::string& path, uint32_t permissions, File* file) {
  const DWORD attributes =
      (permissions & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
  File created(nativeOf(openPath(path, GENERIC_READ | GENERIC_WRITE, kShareAll, CREATE_NEW,
                                 attributes | FILE_FLAG_OPEN_REPARSE_POINT)));
  if (!created.valid()) return lastErrorStatus("create", path);
  *file = std::move(created);
  return {};
}

Status openExistingForWriting(const std::string& path, File* file) {
  FileInfo checked;
  if (Status looked = infoOfPath(path, /*followLinks=*/false, &checked); !looked.ok())
    return looked;
  if (!checked.regular) return Status::failure("open", path, Condition::Replaced);
  if ((checked.permissions & 0200) == 0) {
    // Read-only: cleared through a handle of that very file first.
    File held;
    if (Status opened =
            openChecked(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, checked, &held);
        !opened.ok()) {
      return opened;
    }
    if (Status cleared = held.setPermissions(0666); !cleared.ok()) return cleared.about(path);
  }
  return openChecked(path, GENERIC_WRITE, checked, file);
}

Status copyFileData(const File& from, File& to, uint64_t limit,
                    const std::function<bool()>& keepGoing, uint64_t* copied) {
  *copied = 0;
  const std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  while (*copied < limit) {
    if (keepGoing && !keepGoing()) return Status::failure("copy", {}, Condition::Cancelled);
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, limit - *copied));
    size_t n = 0;
    if (Status read = from.readAt(*copied, buffer.get(), piece, &n); !read.ok()) return read;
    if (n == 0) break;
    if (Status wrote = to.writeAt(*copied, buffer.get(), n); !wrote.ok()) return wrote;
    *copied += n;
  }
  return {};
}

}  // namespace talvek
