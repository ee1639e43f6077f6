// Replaces a file so that it holds either its old bytes or the complete new
// ones, whatever fails and whenever the process dies: the new content goes
// to a new file in the target's own directory, unnamed where the file system
// allows it (so a crash leaves nothing behind) and under a hidden name
// otherwise, and it gets the target's name only once it is complete and
// synced.
#pragma once

#include <cstddef>
#include <string>

#include "platform/file.h"
#include "platform/status.h"
#include "platform/target_file.h"

namespace talvek {

class AtomicFile {
 public:
  struct Options {
    // For a target that does not exist, or that does when
    // keepTargetMetadata is false; the umask applies.
    uint32_t newFileMode = 0666;
    // An existing target's mode, extended attributes (ACLs among them) and,
    // where permitted, owner go to the new file. A file with several hard
    // links still loses the link to its other names: callers that care
    // write such files in place.
    bool keepTargetMetadata = true;
    // A write-protected target that this process may make writable (its
    // own, or any for root) is replaced as if it had been made writable
    // first: the new file has the owner's write permission. The target
    // itself is never changed.
    bool replaceWriteProtected = false;
    // commit() gives the new file the name only if the name still leads to
    // what open() found, or to nothing: EEXIST when it now leads to another
    // file, or to any file where there was none. Otherwise whatever is there
    // is replaced.
    bool onlyTheFileChecked = false;
  };

  AtomicFile() = default;
  // Abandons a file that was opened and not committed.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the new file (mode 0600 while it is written) in the target's
  // directory, relative to the directory's handle so that any valid path
  // works however long. Fails when the target is not a regular file, exists
  // but may not be written by this process (as opening it for writing would
  // fail), or the directory does not take a new file.
  Status open(TargetFile target, const Options& options);
  Status open(const std::string& targetPath, const Options& options);
  Status open(const std::string& targetPath) { return open(targetPath, Options{}); }

  // Appends bytes; on failure the file is only fit to abandon.
  Status write(const void* data, size_t size);

  // Gives the new file its owner, extended attributes and mode, and syncs
  // its data. commit() does this itself when it has not been done; callers
  // that want a last say between the sync and the naming call it first.
  Status sync();

  // sync() if needed, gives the new file the target's name and syncs the
  // directory. On failure the new file is gone and the target is untouched.
  // A failing sync of the directory after the naming is not reported: the
  // target has been replaced by then.
  Status commit();

  // Drops the new file; the target is untouched.
  void abandon();

  bool isOpen() const { return fd_.valid(); }
  // The new file, for callers that write through their own calls.
  File& file() { return fd_; }
  // What open() found at the target's path.
  const TargetFile& target() const { return target_; }
  // The new file's path while it has a name, "" while it is unnamed.
  std::string temporaryPath() const;
  // What went wrong first while carrying the target's extended attributes
  // over; OK if all came along. Not a failure: the commit goes on.
  Status attributesLost() const;

 private:
  Status fail(Status status);
  // Drops what an earlier open left and takes on the new target.
  void start(TargetFile target, const Options& options);
  Status createNewFile();
  Status linkUnder(const std::string& name);
  Status name();
  void copyTargetAttributes();

  TargetFile target_;
  Options options_;
  File fd_;
  bool unnamed_ = false;
  std::string temporaryName_;
  uint32_t mode_ = 0600;
  bool restoreOwner_ = false;
  bool synced_ = false;
  int attributesError_ = 0;
};

// Syncs the directory that holds path, so a rename or removal there lasts.
bool syncParentDirectory(const std::string& path);

// Whether a file name has the form of the hidden file an AtomicFile writes
// beside its target where files cannot be made without a name:
// ".<target's name>.<six letters or digits>". Such a file is the program's
// own, unfinished: never a file to work on.
bool isAtomicFileTemporaryName(const std::string& name);

}  // namespace talvek
