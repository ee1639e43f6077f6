#include "platform/directory.h"

#include <windows.h>

#include <algorithm>

#include "platform/file_status.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide_text.h"

namespace talvek {
namespace {

// Where a path's first directory after its root begins: after "C:\" or
// after "\\server\share\"; npos when it is no absolute path.
size_t afterRoot(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return 3;
  if (path.rfind("\\\\", 0) != 0) return std::string::npos;
  const size_t server = path.find('\\', 2);
  if (server == std::string::npos) return std::string::npos;
  const size_t share = path.find('\\', server + 1);
  return share == std::string::npos ? path.size() : share + 1;
}

std::string withBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

Status PrivateDirectory::open(const std::string& path, bool create) {
  handle_.reset();
  path_ = withBackslashes(path);
  if (path.empty()) return Status::failure("open", "%LOCALAPPDATA%", Condition::NotFound);
  const size_t first = afterRoot(path_);
  if (first == std::string::npos) return Status::failure("open", path, Condition::NotFound);
  if (create) {
    // Made with the access list the user's profile hands down: his alone
    // (and the system's and administrators').
    for (size_t slash = path_.find('\\', first);; slash = path_.find('\\', slash + 1)) {
      const std::string part = path_.substr(0, slash);
      if (part.size() >= first) {
        if (::CreateDirectoryW(widePath(part).c_str(), nullptr)) {
          (void)flushDirectory(parentDirectory(part));
        } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
          return lastErrorStatus("mkdir", part);
        }
      }
      if (slash == std::string::npos) break;
    }
  }
  // Never through a reparse point: the directory itself. Whose it is goes
  // unchecked: an elevated run's files belong to the administrators, and
  // the profile's access list keeps other users out of it already.
  File dir(
      nativeOf(openPath(path_, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT)));
  if (!dir.valid()) return lastErrorStatus("open", path);
  const DWORD attributes = attributesOf(handleOf(dir.native()));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return Status::failure("open", path, Condition::AccessDenied);
  }
  handle_ = std::move(dir);
  return {};
}

PrivateDirectory PrivateDirectory::duplicate() const {
  PrivateDirectory copy;
  copy.path_ = path_;
  if (handle_.valid()) copy.handle_.reset(nativeOf(duplicateHandle(handleOf(handle_.native()))));
  return copy;
}

Status PrivateDirectory::createUnnamed(File*) {
  // No file is without a name here: journals are made as ".partial" files.
  return Status::failure("create", path_, Condition::Unsupported);
}

Status PrivateDirectory::createExclusive(const std::string& name, File* file) {
  // Shared for renaming and removal, which the journal does while it holds
  // the file open.
  const std::string where = path_ + "\\" + name;
  File made(nativeOf(
      openPath(where, GENERIC_READ | GENERIC_WRITE, kShareAll, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)));
  if (!made.valid()) return lastErrorStatus("create", where);
  *file = std::move(made);
  return {};
}

Status PrivateDirectory::openOwnFile(const std::string& name, File* file) {
  const std::string where = path_ + "\\" + name;
  File opened(nativeOf(openPath(where, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT)));
  if (!opened.valid()) return lastErrorStatus("open", where);
  FileInfo info;
  if (Status looked = opened.info(&info); !looked.ok()) return looked.about(where);
  if (!info.regular) return Status::failure("open", where, Condition::AccessDenied);
  *file = std::move(opened);
  return {};
}

Status PrivateDirectory::name(const File&, const std::string& name) {
  // Only files made by createUnnamed are named, and there are none.
  return Status::failure("link", path_ + "\\" + name, Condition::Unsupported);
}

Status PrivateDirectory::rename(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING: a name that is taken stays taken.
  if (!::MoveFileExW(widePath(path_ + "\\" + from).c_str(), widePath(path_ + "\\" + to).c_str(),
                     0)) {
    return lastErrorStatus("rename", path_ + "\\" + to);
  }
  return {};
}

Status PrivateDirectory::remove(const std::string& name) {
  // A file still open (shared for deletion) loses its name when it closes.
  if (!::DeleteFileW(widePath(path_ + "\\" + name).c_str())) {
    return lastErrorStatus("remove", path_ + "\\" + name);
  }
  return {};
}

Status PrivateDirectory::sync() {
  return flushDirectory(path_);
}

std::vector<std::string> PrivateDirectory::names() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search =
      ::FindFirstFileExW(widePath(path_ + "\\*").c_str(), FindExInfoBasic, &found,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = utf8FromWide(found.cFileName, wcslen(found.cFileName));
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace talvek
