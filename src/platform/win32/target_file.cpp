#include "platform/target_file.h"

#include <windows.h>

#include "platform/file_status.h"
#include "platform/random_name.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide_text.h"

namespace talvek {
namespace {

constexpr int kMaxProbeDraws = 10;

// Opens the file at `path` (reparse points followed, as every program's
// open follows them): a regular file, and the one `checked` describes
// unless that is null.
Status openAndCheck(const std::string& path, DWORD access, DWORD disposition, DWORD attributes,
                    const FileInfo* checked, File* file) {
  File opened(nativeOf(openPath(path, access, kShareAll, disposition, attributes)));
  if (!opened.valid()) return lastErrorStatus("open", path);
  FileInfo now;
  if (Status looked = opened.info(&now); !looked.ok()) return looked.about(path);
  if (!now.regular || (checked != nullptr && !(now.identity == checked->identity))) {
    return Status::failure("open", path, Condition::Replaced);
  }
  *file = std::move(opened);
  return {};
}

}  // namespace

Status TargetFile::open(const std::string& path) {
  exists_ = false;
  directory_.reset();
  name_.clear();
  // The system follows reparse points itself: a path is its own target.
  (void)resolveFinalLink(path, &resolved_);
  absolute_ = absolutePathOf(resolved_);
  name_ = fileNameOf(absolute_);
  if (name_.empty() || name_ == "." || name_ == "..") {
    return Status::failure("open", path, ERROR_DIRECTORY_NOT_SUPPORTED);
  }
  directory_.reset(
      nativeOf(openPath(parentDirectory(absolute_), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                        kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS)));
  if (!directory_.valid()) return lastErrorStatus("open", path);
  if (!isDirectoryHandle(handleOf(directory_.native()))) {
    return Status::failure("open", path, ERROR_DIRECTORY);
  }
  const Status looked = infoOfPath(absolute_, /*followLinks=*/true, &info_);
  if (looked.ok()) {
    exists_ = true;
  } else if (!meansNotFound(static_cast<DWORD>(looked.code()))) {
    return looked.about(path);
  }
  return {};
}

TargetFile TargetFile::duplicate() const {
  TargetFile copy;
  copy.directory_.reset(nativeOf(duplicateHandle(handleOf(directory_.native()))));
  copy.exists_ = exists_;
  copy.info_ = info_;
  copy.owner_ = owner_;
  copy.group_ = group_;
  copy.name_ = name_;
  copy.resolved_ = resolved_;
  copy.absolute_ = absolute_;
  return copy;
}

std::string TargetFile::absolutePath() const {
  return absolute_;
}

Status TargetFile::reopen(Access access, File* file, uint32_t permissions) const {
  switch (access) {
    case Access::Read: {
      if (!exists_) return Status::failure("open", absolute_, Condition::Replaced);
      // With the right to change its attributes, so that a write-protected
      // file can be made writable through this very handle.
      const Status opened = openAndCheck(absolute_, GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, &info_, file);
      if (!opened.is(Condition::AccessDenied)) return opened;
      return openAndCheck(absolute_, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, &info_,
                          file);
    }
    case Access::Write:
      if (!exists_) return Status::failure("open", absolute_, Condition::Replaced);
      return openAndCheck(absolute_, GENERIC_WRITE | FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, &info_, file);
    case Access::CreateNew:
      return openAndCheck(
          absolute_, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
          (permissions & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY, nullptr,
          file);
  }
  return Status::failure("open", absolute_, Condition::Other);
}

Status TargetFile::removeCreated() const {
  // Through a handle, so that a read-only file it was created as goes too.
  File made(nativeOf(openPath(absolute_, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              kShareAll, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT)));
  if (!made.valid()) return lastErrorStatus("remove", absolute_);
  const HANDLE handle = handleOf(made.native());
  const DWORD attributes = attributesOf(handle);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    (void)setAttributes(handle,
                        attributes & ~DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL});
  }
  if (!setDeleteOnClose(handle, true)) {
    return lastErrorStatus("remove", absolute_);
  }
  return made.close();
}

TargetFile::Naming TargetFile::naming() const {
  FileInfo now;
  const Status looked = infoOfPath(absolute_, /*followLinks=*/true, &now);
  if (!looked.ok()) {
    return meansNotFound(static_cast<DWORD>(looked.code())) ? Naming::Nothing : Naming::Other;
  }
  return exists_ && now.identity == info_.identity ? Naming::Checked : Naming::Other;
}

TargetFile::Creatable TargetFile::probeCreatable() const {
  if (!isValidFileName(name_)) return Creatable::No;
  // There are no unnamed files here; a file the system deletes when it is
  // closed, or when the process dies, is the nearest thing.
  const std::string directory = parentDirectory(absolute_);
  for (int draw = 0; draw < kMaxProbeDraws; ++draw) {
    const std::string probe = directory + "\\.talvek-probe-" + randomNameSuffix();
    const HANDLE made = openPath(probe, GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE);
    if (made != INVALID_HANDLE_VALUE) {
      ::CloseHandle(made);
      return Creatable::Yes;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return Creatable::No;
}

}  // namespace talvek
