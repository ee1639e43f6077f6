// The file a path names when it is about to be written or replaced. The
// path's last link is followed as writing through it would, under the
// kernel's rule for protected links, and what it leads to is held as a
// handle of its directory, its name there and the status of the file found
// there. Later calls go through the handles and check the file's identity,
// so they act on the file that was checked however the path changes.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/status.h"
#include "platform/unique_fd.h"

namespace talvek {

class TargetFile {
 public:
  // Resolves path (see resolveFinalLink) and opens its directory. Fails on
  // a link loop, a link that may not be followed (EACCES), or a directory
  // that cannot be reached. Whatever is at the name, a directory included,
  // is looked at without following a link and without opening it.
  Status open(const std::string& path);

  // The same target with a handle of its own.
  TargetFile duplicate() const;

  // Whether something was at the name, and whether it was a regular file.
  bool exists() const { return exists_; }
  bool isRegular() const { return exists_ && S_ISREG(status_.st_mode); }
  // What open() found at the name (when exists()).
  const struct stat& status() const { return status_; }
  // Whether this process owns the file, or may change it as if it did.
  bool mayChangeMode() const;

  // The directory (a handle that only finds names: O_PATH) and the name.
  int directory() const { return directory_.get(); }
  const std::string& name() const { return name_; }
  // The path after following links, as open() was given it.
  const std::string& resolvedPath() const { return resolved_; }
  // The same as an absolute path, for records another process reads.
  std::string absolutePath() const;

  // Opens the checked file again (O_RDONLY, O_WRONLY or O_RDWR, or with
  // O_CREAT | O_EXCL and `mode` to create it where nothing was), never
  // through a link and only while the name still leads to the file that was
  // checked: ESTALE when it was replaced or removed meanwhile.
  UniqueFd reopen(int flags, Status* status, mode_t mode = 0600) const;

  // What the name leads to now.
  enum class Naming { Checked, Nothing, Other };
  Naming naming() const;

  // Whether a file could be created at the name, found out without ever
  // giving a file that name where the file system has unnamed files (so a
  // crash cannot leave one behind). Unknown where it has none.
  enum class Creatable { Yes, No, Unknown };
  Creatable probeCreatable() const;

 private:
  UniqueFd directory_;
  bool exists_ = false;
  struct stat status_ {};
  std::string name_;
  std::string resolved_;
};

// Whether two statuses are of the same file.
inline bool sameIdentity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace talvek
