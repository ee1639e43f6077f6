// The database file behind the registry store: one connection per operation,
// and the handling of a file that cannot serve as a store.
#pragma once

#include <sys/types.h>

#include <string>

#include "settings/registry_codes.h"

struct sqlite3;

namespace talvek {

// One open connection, closed when the object goes away.
class StoreConnection {
 public:
  StoreConnection() = default;
  ~StoreConnection() { close(); }
  StoreConnection(const StoreConnection&) = delete;
  StoreConnection& operator=(const StoreConnection&) = delete;

  // Opens path for reading and writing (read-only when the file is
  // write-protected) with a busy timeout. create: a missing file and its
  // directories are created; otherwise a missing file is kErrorFileNotFound.
  RegResult open(const std::string& path, bool create);
  void close();

  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// Which file a path names at one moment, so a damaged file is only moved
// aside if another instance has not replaced it already.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;

  bool operator==(const FileIdentity&) const = default;
};

FileIdentity fileIdentity(const std::string& path);

// Something is at path that cannot be a store: not a regular file, or a
// regular file this user may not read. A write-protected file is not one:
// it is kept, and writes report kErrorAccessDenied.
bool isUnusableStore(const std::string& path);

// Renames path, with its rollback journal if any, to
// path.corrupt-<YYYYMMDDTHHMMSSZ>[-n]. False if it could not be moved.
bool moveStoreAside(const std::string& path);

}  // namespace talvek
