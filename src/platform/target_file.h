// The file a path names when it is about to be written or replaced. The
// path's last link is followed as writing through it would, under the
// kernel's rule for protected links, and what it leads to is held as its
// directory, its name there and what was found there. Later calls check the
// file's identity, so they act on the file that was checked however the
// path changes meanwhile.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/status.h"

namespace talvek {

class TargetFile {
 public:
  TargetFile() = default;
  TargetFile(TargetFile&&) = default;
  TargetFile& operator=(TargetFile&&) = default;

  // Resolves path (see resolveFinalLink) and opens its directory. Fails on
  // a link loop, a link that may not be followed (AccessDenied), or a
  // directory that cannot be reached. Whatever is at the name, a directory
  // included, is looked at without following a link and without opening it.
  Status open(const std::string& path);

  // The same target with handles of its own.
  TargetFile duplicate() const;

  // Whether something was at the name, and whether it was a regular file.
  bool exists() const { return exists_; }
  bool isRegular() const { return exists_ && info_.regular; }
  // What open() found at the name (when exists()).
  const FileInfo& info() const { return info_; }

  // The path after following links, as open() was given it.
  const std::string& resolvedPath() const { return resolved_; }
  // The same as an absolute path, for records another process reads.
  std::string absolutePath() const;

  // How reopen() opens the file.
  enum class Access {
    Read,
    Write,
    CreateNew,  // create it for writing where nothing was, exclusively
  };
  // Opens the checked file again, never through a link and only while the
  // name still leads to the file that was checked: Replaced when it was
  // replaced or removed meanwhile. CreateNew gives a new file `permissions`
  // (less the umask).
  Status reopen(Access access, File* file, uint32_t permissions = 0600) const;
  // Removes the name again, for a file that CreateNew made and the caller
  // gives up.
  Status removeCreated() const;

  // What the name leads to now.
  enum class Naming { Checked, Nothing, Other };
  Naming naming() const;

  // Whether a file could be created at the name, found out without ever
  // giving a file that name where the file system has unnamed files (so a
  // crash cannot leave one behind). Unknown where it has none.
  enum class Creatable { Yes, No, Unknown };
  Creatable probeCreatable() const;

  // For the platform's own calls: the directory's handle (one that only
  // finds names) and the name in it; the owner's and group's numbers.
  NativeFile directory() const { return directory_.native(); }
  const std::string& name() const { return name_; }
  uint32_t owner() const { return owner_; }
  uint32_t group() const { return group_; }

 private:
  File directory_;
  bool exists_ = false;
  FileInfo info_;
  uint32_t owner_ = 0;
  uint32_t group_ = 0;
  std::string name_;
  std::string resolved_;
  // Windows has no openat: the absolute path the file is opened by again,
  // its identity checked each time.
  std::string absolute_;
};

}  // namespace talvek
