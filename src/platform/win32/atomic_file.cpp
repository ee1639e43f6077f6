#include "platform/atomic_file.h"

#include <windows.h>

#include <aclapi.h>

#include <memory>
#include <vector>

#include "platform/file_status.h"
#include "platform/random_name.h"
#include "platform/target_file.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide_text.h"

namespace talvek {
namespace {

// Long enough to tell which target a left-over file belonged to, short enough
// that the name stays within the 255 characters a name may have.
constexpr size_t kMaxNameStem = 200;
constexpr int kMaxNameDraws = 100;
constexpr size_t kStreamBuffer = size_t{1} << 16;

// What a replaced file's attributes hand on: the read-only one is the
// mode's, the others (compressed, encrypted ...) are the file system's.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// FileRenameInfoEx (Windows 10 1809 and later) and its flags. Its record is
// FileRenameInfo's, whose one-byte ReplaceIfExists shares the flags' place.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;
constexpr DWORD kRenameIgnoreReadOnly = 0x40;
struct RenameRecord {
  DWORD flags;
  HANDLE rootDirectory;
  DWORD fileNameLength;
  WCHAR fileName[1];
};

HANDLE handleOfFile(const File& file) {
  return handleOf(file.native());
}

// At most `size` bytes of UTF-8 that end with a whole character.
std::string utf8Prefix(const std::string& text, size_t size) {
  if (text.size() <= size) return text;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  return text.substr(0, size);
}

// The path in the system's own form, for renames through a handle.
std::wstring ntPath(const std::string& path) {
  const std::wstring wide = widePath(path);
  return wide.rfind(L"\\\\?\\", 0) == 0 ? L"\\??\\" + wide.substr(4) : wide;
}

// Renames the open file to `path`. FileRenameInfoEx, where the system has
// it, replaces a file others hold open for deletion (POSIX semantics) and
// can pass over a read-only one; FileRenameInfo otherwise.
bool renameHandle(HANDLE file, const std::string& path, bool replace, bool overReadOnly) {
  const std::wstring name = ntPath(path);
  const DWORD nameBytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  const size_t size = sizeof(RenameRecord) + nameBytes;
  std::vector<unsigned char> buffer(size, 0);
  auto* info = reinterpret_cast<RenameRecord*>(buffer.data());
  info->flags = (replace ? kRenameReplaceIfExists : 0) | kRenamePosixSemantics |
                (replace && overReadOnly ? kRenameIgnoreReadOnly : 0);
  info->rootDirectory = nullptr;
  info->fileNameLength = nameBytes;
  std::copy(name.begin(), name.end(), info->fileName);
  if (::SetFileInformationByHandle(file, kFileRenameInfoEx, info, static_cast<DWORD>(size))) {
    return true;
  }
  const DWORD error = ::GetLastError();
  if (error != ERROR_INVALID_PARAMETER && error != ERROR_INVALID_FUNCTION &&
      error != ERROR_NOT_SUPPORTED && error != ERROR_CALL_NOT_IMPLEMENTED) {
    return false;
  }
  info->flags = replace ? 1 : 0;
  return ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(size)) != 0;
}

// Copies one named stream ("name:$DATA") of `from` to `to`.
DWORD copyStream(const std::string& from, const std::string& to, const std::wstring& stream) {
  const std::wstring source = widePath(from) + stream;
  const std::wstring target = widePath(to) + stream;
  const HANDLE in = ::CreateFileW(source.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) return ::GetLastError();
  const HANDLE out =
      ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD error = out == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  const std::unique_ptr<char[]> buffer(new char[kStreamBuffer]);
  while (error == 0) {
    DWORD got = 0;
    DWORD written = 0;
    if (!::ReadFile(in, buffer.get(), kStreamBuffer, &got, nullptr)) {
      error = ::GetLastError();
    } else if (got == 0) {
      break;
    } else if (!::WriteFile(out, buffer.get(), got, &written, nullptr) || written != got) {
      error = ::GetLastError();
    }
  }
  ::CloseHandle(in);
  if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
  return error;
}

// Copies the alternate data streams (a download's zone mark, a program's
// notes) of `from` to `to`; the first failure goes to *error. Named streams
// can only be opened by name, so this waits until the new file may be.
void copyStreams(const std::string& from, const std::string& to, int* error) {
  WIN32_FIND_STREAM_DATA stream;
  const HANDLE search =
      ::FindFirstStreamW(widePath(from).c_str(), FindStreamInfoStandard, &stream, 0);
  if (search == INVALID_HANDLE_VALUE) {
    // None, or a file system (or system) without them.
    const DWORD failed = ::GetLastError();
    if (failed != ERROR_HANDLE_EOF && failed != ERROR_INVALID_PARAMETER &&
        failed != ERROR_CALL_NOT_IMPLEMENTED && failed != ERROR_NOT_SUPPORTED &&
        failed != ERROR_INVALID_FUNCTION && *error == 0) {
      *error = static_cast<int>(failed);
    }
    return;
  }
  do {
    const std::wstring name = stream.cStreamName;
    if (name == L"::$DATA") continue;
    const DWORD copied = copyStream(from, to, name);
    if (copied != 0 && *error == 0) *error = static_cast<int>(copied);
  } while (::FindNextStreamW(search, &stream));
  ::FindClose(search);
}

}  // namespace

bool syncParentDirectory(const std::string& path) {
  return flushDirectory(parentDirectory(absolutePathOf(path))).ok();
}

Status AtomicFile::attributesLost() const {
  if (attributesError_ == 0) return {};
  return Status::failure("copy attributes", target_.resolvedPath(), attributesError_);
}

std::string AtomicFile::temporaryPath() const {
  if (temporaryName_.empty()) return {};
  return parentDirectory(target_.absolutePath()) + "\\" + temporaryName_;
}

Status AtomicFile::open(TargetFile target, const Options& options) {
  start(std::move(target), options);
  const std::string& path = target_.resolvedPath();
  if (!target_.exists()) {
    mode_ = options_.newFileMode & 0777;
    return createNewFile();
  }
  const FileInfo& st = target_.info();
  if (!target_.isRegular()) {
    return fail(Status::failure("open", path,
                                st.directory ? ERROR_DIRECTORY_NOT_SUPPORTED : ERROR_FILE_INVALID));
  }
  const bool writeProtected = (st.permissions & 0200) == 0;
  // A rename would get past a file this process may not write.
  if (writeProtected && !options_.replaceWriteProtected) {
    return fail(Status::failure("open", path, Condition::AccessDenied));
  }
  mode_ = options_.keepTargetMetadata ? st.permissions | (writeProtected ? 0200 : 0)
                                      : options_.newFileMode & 0777;
  return createNewFile();
}

Status AtomicFile::createNewFile() {
  const std::string& path = target_.resolvedPath();
  const std::string directory = parentDirectory(target_.absolutePath());
  // Hidden while it is written; it gets its own attributes before its name.
  const std::string stem = "." + utf8Prefix(target_.name(), kMaxNameStem) + ".";
  for (int draw = 0; draw < kMaxNameDraws; ++draw) {
    std::string name = stem + randomNameSuffix();
    const HANDLE made =
        openPath(directory + "\\" + name, GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC,
                 FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN);
    if (made != INVALID_HANDLE_VALUE) {
      fd_.reset(nativeOf(made));
      temporaryName_ = std::move(name);
      // From the first moment: the system removes the file if the process
      // dies. Where it cannot, abandon() removes it by name.
      (void)setDeleteOnClose(made, true);
      return {};
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return fail(lastErrorStatus("create", path));
}

Status AtomicFile::write(const void* data, size_t size) {
  if (!fd_.valid())
    return fail(Status::failure("write", target_.resolvedPath(), ERROR_INVALID_HANDLE));
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, DWORD{1} << 30));
    if (!::WriteFile(handleOfFile(fd_), p, piece, &written, nullptr)) {
      return fail(lastErrorStatus("write", target_.resolvedPath()));
    }
    if (written == 0)
      return fail(Status::failure("write", target_.resolvedPath(), Condition::Other));
    p += written;
    size -= written;
  }
  return {};
}

void AtomicFile::copyTargetAttributes() {
  // Read through a handle of the file that was checked, not whatever the
  // path leads to by now.
  const std::string& path = target_.absolutePath();
  const HANDLE target = openPath(path, READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (target == INVALID_HANDLE_VALUE) {
    attributesError_ = static_cast<int>(::GetLastError());
    return;
  }
  FileInfo now;
  if (!fileInfoOfHandle(target, &now).ok() || !(now.identity == target_.info().identity)) {
    ::CloseHandle(target);
    attributesError_ = ERROR_FILE_INVALID;
    return;
  }
  const DWORD attributes = attributesOf(target);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      !setAttributes(handleOfFile(fd_),
                     (attributes & kCarriedAttributes) | FILE_ATTRIBUTE_ARCHIVE)) {
    attributesError_ = static_cast<int>(::GetLastError());
  }
  // The access list, with its inheritance: one that took its entries from
  // the directory goes on taking them, one that was cut off stays cut off.
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = ::GetSecurityInfo(target, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &descriptor);
  if (error == ERROR_SUCCESS && dacl != nullptr) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    const bool isProtected = ::GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                             (control & SE_DACL_PROTECTED) != 0;
    error = ::SetSecurityInfo(
        handleOfFile(fd_), SE_FILE_OBJECT,
        DACL_SECURITY_INFORMATION | (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION),
        nullptr, nullptr, dacl, nullptr);
  }
  if (descriptor != nullptr) ::LocalFree(descriptor);
  // A file system without access lists (FAT) has none to lose.
  if (error != ERROR_SUCCESS && error != ERROR_NOT_SUPPORTED && attributesError_ == 0) {
    attributesError_ = static_cast<int>(error);
  }
  ::CloseHandle(target);
}

Status AtomicFile::sync() {
  const std::string& path = target_.resolvedPath();
  if (!fd_.valid()) return fail(Status::failure("flush", path, ERROR_INVALID_HANDLE));
  if (synced_) return {};
  // No longer hidden: a file keeps the attribute through its rename.
  if (!setAttributes(handleOfFile(fd_), FILE_ATTRIBUTE_ARCHIVE)) {
    return fail(lastErrorStatus("chmod", path));
  }
  if (options_.keepTargetMetadata && target_.exists()) copyTargetAttributes();
  if (!::FlushFileBuffers(handleOfFile(fd_))) return fail(lastErrorStatus("flush", path));
  synced_ = true;
  return {};
}

Status AtomicFile::linkUnder(const std::string& name) {
  // No unnamed files here: nothing is ever linked.
  return Status::failure("link", name, Condition::Unsupported);
}

Status AtomicFile::name() {
  const std::string& path = target_.resolvedPath();
  bool existed = target_.exists();
  if (options_.onlyTheFileChecked && existed) {
    switch (target_.naming()) {
      case TargetFile::Naming::Checked:
        break;
      case TargetFile::Naming::Nothing:
        // Removed meanwhile: the name is taken as a new one, if still free.
        existed = false;
        break;
      case TargetFile::Naming::Other:
        return Status::failure("rename", path, Condition::Exists);
    }
  }
  // A name that was free is taken only while it is free; a checked file is
  // replaced, read-only or not, as the caller's options allowed at open().
  const bool replace = existed || !options_.onlyTheFileChecked;
  const HANDLE file = handleOfFile(fd_);
  // The system renames no file that is to be deleted: the mark comes off
  // for the rename, and goes back on if it fails.
  if (!setDeleteOnClose(file, false)) return lastErrorStatus("rename", path);
  if ((mode_ & 0200) == 0) {
    const DWORD attributes = attributesOf(file);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      (void)setAttributes(file,
                          (attributes & ~DWORD{FILE_ATTRIBUTE_NORMAL}) | FILE_ATTRIBUTE_READONLY);
    }
  }
  if (options_.keepTargetMetadata && existed) {
    copyStreams(target_.absolutePath(), temporaryPath(), &attributesError_);
  }
  if (!renameHandle(file, target_.absolutePath(), replace, options_.replaceWriteProtected)) {
    // ERROR_ALREADY_EXISTS (Exists): something took the free name meanwhile.
    return lastErrorStatus("rename", path);
  }
  temporaryName_.clear();
  return {};
}

Status AtomicFile::commit() {
  if (Status synced = sync(); !synced.ok()) return synced;
  if (Status named = name(); !named.ok()) return fail(named);
  // The rename itself, written through as far as the system lets a file
  // say: its own record and the directory's.
  (void)::FlushFileBuffers(handleOfFile(fd_));
  fd_.reset();
  (void)flushDirectory(parentDirectory(target_.absolutePath()));
  synced_ = false;
  return {};
}

void AtomicFile::abandon() {
  bool gone = temporaryName_.empty();
  if (fd_.valid()) {
    const HANDLE file = handleOfFile(fd_);
    // A read-only file is not deleted: the mark would not take.
    const DWORD attributes = attributesOf(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      (void)setAttributes(file,
                          attributes & ~DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL});
    }
    gone = gone || setDeleteOnClose(file, true);
    fd_.reset();
  }
  if (!gone) (void)::DeleteFileW(widePath(temporaryPath()).c_str());
  temporaryName_.clear();
  unnamed_ = false;
  synced_ = false;
}

}  // namespace talvek
