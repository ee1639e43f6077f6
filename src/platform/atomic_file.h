// Replaces a file so that it holds either its old bytes or the complete new
// ones, whatever fails or whenever the process dies: the new content goes to
// a fresh file in the target's own directory, which is synced and then
// renamed over the target.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "platform/unique_fd.h"

namespace talvek {

class AtomicFile {
 public:
  AtomicFile() = default;
  // Abandons a file that was opened and not committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the new file (exclusively, mode 0600 while it is written) next to
  // targetPath. A symbolic link at targetPath is followed: its final target is
  // what commit replaces, as writing through the link would. The committed
  // file gets the mode of the target it replaces when keepTargetMode is true
  // and the target exists (and, where permitted, its owner); otherwise
  // newFileMode less the umask. False, with error() set, when the target is
  // not a regular file or the directory does not take a new file.
  bool open(const std::string& targetPath, mode_t newFileMode = 0666, bool keepTargetMode = true);

  // Appends bytes; false on any failure (the file is then only fit to abandon).
  bool write(const void* data, size_t size);

  // Gives the file its mode, syncs and closes it, renames it over the target
  // and syncs the directory. On false the temporary file is gone and the target
  // is untouched. A failing sync of the directory after the rename is not
  // reported: the target has been replaced by then.
  bool commit();

  // Closes and removes the new file; the target is untouched.
  void abandon();

  bool isOpen() const { return fd_.valid(); }
  // The new file, for callers that write through their own calls.
  int fd() const { return fd_.get(); }
  // The file commit replaces: targetPath after following links.
  const std::string& targetPath() const { return target_; }
  const std::string& temporaryPath() const { return temporary_; }
  // errno of the last failure, 0 if none.
  int error() const { return error_; }

 private:
  bool fail(int error);

  UniqueFd fd_;
  std::string target_;
  std::string temporary_;
  mode_t mode_ = 0600;
  bool restoreOwner_ = false;
  uid_t owner_ = 0;
  gid_t group_ = 0;
  int error_ = 0;
};

// Syncs the directory that holds path, so a rename or removal there lasts.
bool syncParentDirectory(const std::string& path);

// The process's file-mode creation mask, read without changing it.
mode_t currentUmask();

}  // namespace talvek
