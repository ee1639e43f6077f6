// A directory of the program's own, private to the user, held open, with
// the calls its journals need: files made without a name and named only
// once complete, names taken only while free, and the directory's own sync.
#pragma once

#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/status.h"

namespace talvek {

class PrivateDirectory {
 public:
  PrivateDirectory() = default;
  PrivateDirectory(PrivateDirectory&&) = default;
  PrivateDirectory& operator=(PrivateDirectory&&) = default;

  // Opens the directory; with `create`, makes it and its missing parents
  // first (owner only), each synced into its parent so it outlasts a power
  // cut. AccessDenied when it is not this user's alone: files that others
  // could put there must never be taken for the program's own. An empty
  // path (no home) is NotFound.
  Status open(const std::string& path, bool create);
  bool isOpen() const { return handle_.valid(); }
  const std::string& path() const { return path_; }
  // The same directory through a handle of its own.
  PrivateDirectory duplicate() const;

  // A new file, open for reading and writing, with no name; Unsupported
  // where the file system or system has none.
  Status createUnnamed(File* file);
  // A new file of that name, created exclusively and never through a link.
  Status createExclusive(const std::string& name, File* file);
  // Opens a regular file of this user's for reading and writing, never
  // through a link and never waiting on what is not a file.
  Status openOwnFile(const std::string& name, File* file);

  // Gives a file made by createUnnamed the name; Exists when it is taken.
  Status name(const File& file, const std::string& name);
  // Renames within the directory, never replacing: Exists when `to` is taken.
  Status rename(const std::string& from, const std::string& to);
  Status remove(const std::string& name);
  // Makes the names in the directory last a crash or a power cut.
  Status sync();
  // The names in the directory, in order.
  std::vector<std::string> names() const;

 private:
  File handle_;
  std::string path_;
};

}  // namespace talvek
