#include "settings/posix/store_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/file_status.h"
#include "platform/posix/unique_fd.h"
#include "settings/posix/lock_wait.h"

namespace talvek {

namespace {

bool pathPresent(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

RegResult fromErrno(int error) {
  return (error == EACCES || error == EPERM || error == EROFS) ? kErrorAccessDenied
                                                               : kErrorCantWrite;
}

// mkdir -p of the directory part of path; the store is private to the user.
RegResult makeParentDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return fromErrno(errno);
  }
  return kErrorSuccess;
}

long long nanoseconds(const timespec& time) {
  return static_cast<long long>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

// Renames path and its journal to the first free .corrupt- name.
bool renameAside(const std::string& path) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  std::string aside = path + ".corrupt-" + stamp;
  for (int n = 2; pathPresent(aside); ++n) {
    aside = path + ".corrupt-" + stamp + "-" + std::to_string(n);
  }
  if (::rename(path.c_str(), aside.c_str()) != 0) return false;
  // A journal or write-ahead log left beside a fresh file would be played
  // back into it: each goes with the file it belongs to, or away.
  for (const char* suffix : {"-journal", "-wal"}) {
    const std::string log = path + suffix;
    if (pathPresent(log) && ::rename(log.c_str(), (aside + suffix).c_str()) != 0) {
      ::unlink(log.c_str());
    }
  }
  // The log's shared index only describes it: nothing to keep.
  ::unlink((path + "-shm").c_str());
  return true;
}

}  // namespace

RegResult StoreConnection::open(const std::string& path, bool create, LockWait& wait) {
  close();
  // SQLite would take an empty name as a private temporary database.
  if (path.empty()) return create ? kErrorAccessDenied : kErrorFileNotFound;
  if (create) {
    const RegResult made = makeParentDirectories(path);
    if (made != kErrorSuccess) return made;
  }
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (create) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    close();
    if (!create && !pathPresent(path)) return kErrorFileNotFound;
    return (rc & 0xff) == SQLITE_CANTOPEN || (rc & 0xff) == SQLITE_PERM ? kErrorAccessDenied
                                                                        : kErrorCantRead;
  }
  sqlite3_busy_handler(db_, &LockWait::busyHandler, &wait);
  return kErrorSuccess;
}

void StoreConnection::close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
}

StoreFileIdentity storeFileIdentity(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino};
}

bool isUnusableStore(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0;
}

FileStamp fileStamp(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return {};
  return {
      {true, st.st_dev, st.st_ino}, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

bool moveStoreAside(const std::string& path, const StoreFileIdentity& damaged, LockWait& wait) {
  UniqueFd directory(::open(parentDirectory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory.valid()) return false;
  for (int attempt = 0; ::flock(directory.get(), LOCK_EX | LOCK_NB) != 0; ++attempt) {
    // A file system without such locks: go on as one instance would.
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (!wait.pause(attempt)) return false;
  }
  // Under the lock: another instance may have moved the file already and
  // put a fresh store, perhaps in the middle of a write, in its place.
  if (storeFileIdentity(path) != damaged) return true;
  return renameAside(path);
}

}  // namespace talvek
