// The job's private working copy in the temporary directory: the backup of
// a destination that is written where it stands. It holds a plain copy of
// the user's data, so it is zeroed, synced and removed when it goes away,
// unless it is kept because it is the only copy left.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/unique_fd.h"

namespace talvek {

class WorkingFile {
 public:
  WorkingFile() = default;
  ~WorkingFile() { dispose(); }
  WorkingFile(const WorkingFile&) = delete;
  WorkingFile& operator=(const WorkingFile&) = delete;

  // Creates the file (exclusive, mode 0600) under a fresh random name. False
  // with errno set when the directory takes no new file.
  bool create();
  // Copies the whole of an open file into this one and syncs it, asking
  // keepGoing between pieces. False with errno set (ECANCELED when stopped);
  // failedCall() then says which step failed.
  bool fill(int from, const std::function<bool()>& keepGoing);

  int fd() const { return fd_.get(); }
  uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }
  const char* failedCall() const { return failedCall_; }

  // Leaves the file in place, unwiped, and returns its path.
  std::string keep();
  // Zeroes, syncs and removes the file, if there is one.
  void dispose();

 private:
  UniqueFd fd_;
  std::string path_;
  uint64_t size_ = 0;
  const char* failedCall_ = "";
};

}  // namespace talvek
