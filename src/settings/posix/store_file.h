// The database file behind the registry store: one connection per operation,
// and the handling of a file that cannot serve as a store.
#pragma once

#include <sys/types.h>

#include <string>

#include "settings/registry_codes.h"

struct sqlite3;

namespace talvek {

class LockWait;

// One open connection, closed when the object goes away.
class StoreConnection {
 public:
  StoreConnection() = default;
  ~StoreConnection() { close(); }
  StoreConnection(const StoreConnection&) = delete;
  StoreConnection& operator=(const StoreConnection&) = delete;

  // Opens path for reading and writing (read-only when the file is
  // write-protected); a lock held by another instance is waited for as
  // `wait` allows. create: a missing file and its directories are created;
  // otherwise a missing file is kErrorFileNotFound.
  RegResult open(const std::string& path, bool create, LockWait& wait);
  void close();

  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// Which file a path names at one moment, so a damaged file is only moved
// aside if another instance has not replaced it already.
struct StoreFileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;

  bool operator==(const StoreFileIdentity&) const = default;
};

StoreFileIdentity storeFileIdentity(const std::string& path);

// Which file, in which state: any write to it changes its size, its times or
// both. What a check of the store was made on.
struct FileStamp {
  StoreFileIdentity identity;
  off_t size = 0;
  long long modified = 0;  // nanoseconds
  long long changed = 0;   // nanoseconds

  bool operator==(const FileStamp&) const = default;
};

FileStamp fileStamp(const std::string& path);

// Something is at path that cannot be a store: not a regular file, or a
// regular file this user may not read. A write-protected file is not one:
// it is kept, and writes report kErrorAccessDenied.
bool isUnusableStore(const std::string& path);

// Renames the damaged file at path, with its rollback journal and
// write-ahead log if any, to path.corrupt-<YYYYMMDDTHHMMSSZ>[-n] (the logs
// keep their suffix after that name) and removes its -shm -- but only while
// path still names `damaged`. Instances that find the same file damaged take
// turns under a lock on the directory, so the one that comes second finds
// the file gone and leaves the fresh store that took its place, and that
// store's files, alone. True when path no longer names the damaged file
// (moved here or by another instance); false when it could not be moved or
// the lock could not be had within `wait`.
bool moveStoreAside(const std::string& path, const StoreFileIdentity& damaged, LockWait& wait);

}  // namespace talvek
