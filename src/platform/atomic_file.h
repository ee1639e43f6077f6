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
  // targetPath, relative to the directory's descriptor so that any valid
  // target path works however long. A symbolic link at targetPath is
  // followed, as writing through the link would (see resolveFinalLink): its
  // final target is what commit replaces.
  //
  // With keepTargetMetadata and an existing target, the committed file gets
  // the target's mode, its extended attributes (ACLs among them) and, where
  // permitted, its owner; otherwise newFileMode less the umask. A file with
  // several hard links still loses the link to its other names: callers that
  // care write such files in place.
  //
  // False, with error() set, when the target is not a regular file, exists
  // but may not be written by this process (as opening it for writing would
  // fail), or the directory does not take a new file.
  bool open(const std::string& targetPath, mode_t newFileMode = 0666,
            bool keepTargetMetadata = true);

  // Appends bytes; false on any failure (the file is then only fit to abandon).
  bool write(const void* data, size_t size);

  // Gives the new file its owner, extended attributes and mode, and syncs
  // its data. commit() does this itself when it has not been done; callers
  // that want a last say between the sync and the rename call it first.
  bool sync();

  // sync() if needed, closes the file, renames it over the target and syncs
  // the directory. On false the temporary file is gone and the target is
  // untouched. A failing sync of the directory after the rename is not
  // reported: the target has been replaced by then.
  bool commit();

  // Closes and removes the new file; the target is untouched.
  void abandon();

  bool isOpen() const { return fd_.valid(); }
  // The new file, for callers that write through their own calls.
  int fd() const { return fd_.get(); }
  // The file commit replaces: targetPath after following links.
  const std::string& targetPath() const { return target_; }
  // The new file's path while it exists, else "".
  std::string temporaryPath() const;

  // errno of the last failure, 0 if none, and the call that failed
  // ("open", "write", "fsync", "rename" ...).
  int error() const { return error_; }
  const char* failedCall() const { return failedCall_; }
  // The first errno met while carrying the target's extended attributes
  // over, 0 if all came along. Not a failure: the commit goes on.
  int attributesError() const { return attributesError_; }

 private:
  bool fail(const char* call, int error);
  void copyTargetAttributes();

  UniqueFd directory_;
  UniqueFd fd_;
  std::string target_;
  std::string temporaryName_;
  mode_t mode_ = 0600;
  bool keepMetadata_ = false;
  bool restoreOwner_ = false;
  bool synced_ = false;
  uid_t owner_ = 0;
  gid_t group_ = 0;
  int error_ = 0;
  const char* failedCall_ = "";
  int attributesError_ = 0;
};

// Syncs the directory that holds path, so a rename or removal there lasts.
bool syncParentDirectory(const std::string& path);

// The process's file-mode creation mask, read without changing it.
mode_t currentUmask();

}  // namespace talvek
