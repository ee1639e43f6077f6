// An open file of the system's (a descriptor here, a handle on Windows),
// closed when the object goes away, with every call the jobs make on one,
// and what the system says of a file: its identity, size, time and mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/status.h"

namespace talvek {

// A file descriptor here, a HANDLE on Windows.
using NativeFile = intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Which file: its device and inode here, the volume's serial number and the
// file's index on Windows. Two names of one file have the same identity.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileTime {
  int64_t seconds = 0;
  uint32_t nanoseconds = 0;
  bool operator==(const FileTime&) const = default;
};

struct FileInfo {
  FileIdentity identity;
  uint64_t size = 0;
  FileTime modified;
  // The permission bits (07777); on Windows 0444 for a read-only file, else
  // 0666.
  uint32_t permissions = 0;
  uint32_t links = 1;
  bool regular = false;
  bool directory = false;
  // Another user's file that this process may not give away or take over:
  // replacing it by a rename would hand it to this process's user.
  bool someoneElses = false;
  // This process may change the file's permissions (its owner, or a
  // privileged process).
  bool mayChangePermissions = false;
};

// Whether a file still has the size and modification time it had: what a
// job takes for "unchanged" while it reads it.
inline bool sameContentStamp(const FileInfo& a, const FileInfo& b) {
  return a.size == b.size && a.modified == b.modified;
}

class File {
 public:
  File() = default;
  explicit File(NativeFile native) : native_(native) {}
  ~File() { reset(); }
  File(File&& other) noexcept : native_(other.release()) {}
  File& operator=(File&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool valid() const { return native_ != kNoFile; }
  NativeFile native() const { return native_; }
  NativeFile release() {
    const NativeFile native = native_;
    native_ = kNoFile;
    return native;
  }
  // Closes the file (if any) and takes `native` over.
  void reset(NativeFile native = kNoFile);
  // Closes the file and says whether that succeeded: a failed close may mean
  // lost writes on some file systems.
  Status close();

  Status info(FileInfo* info) const;

  // Reads until `size` bytes or the end, from `offset`; *got below size
  // means the end.
  Status readAt(uint64_t offset, void* data, size_t size, size_t* got) const;
  // Writes all of data at `offset`.
  Status writeAt(uint64_t offset, const void* data, size_t size);
  Status truncate(uint64_t size);
  // Makes the file's data and size last a crash or a power cut.
  Status sync();
  // Reserves room for `size` bytes, so that a full disk is found before
  // anything is written: NoSpace when there is none. A file system that
  // cannot reserve counts as success.
  Status reserve(uint64_t size);
  // Hints, whose failures are ignored: that the file is read from start to
  // end, and that a range written may go to the device now, so that its
  // writes overlap with the caller's work and a later sync has little left.
  void adviseSequential() const;
  void startWriteback(uint64_t offset, uint64_t length);
  // Sets the modification time (the access time stays).
  Status setModified(const FileTime& time);
  // Sets the permission bits (on Windows: read-only or not).
  Status setPermissions(uint32_t permissions);

  // For streams (pipes, terminals, sockets) at their current position: what
  // is there, up to `size` bytes (0 at the end), and what the other end
  // takes. Busy when the stream was left non-blocking and is not ready.
  Status read(void* data, size_t size, size_t* got);
  Status write(const void* data, size_t size, size_t* written);
  // Whether reading or writing may wait indefinitely for the other end (a
  // pipe, a terminal, a socket), rather than answering at once as files do.
  bool mayBlock() const;
  // Waits up to `milliseconds` until the stream can be read (or written);
  // *ready false after the time, or when a signal came meanwhile.
  Status waitUntilReady(bool forWriting, int milliseconds, bool* ready) const;

 private:
  NativeFile native_ = kNoFile;
};

// A file another owns (standard input, say), used through File's calls and
// left open when this goes away.
class BorrowedFile {
 public:
  explicit BorrowedFile(NativeFile native) : file_(native) {}
  ~BorrowedFile() { file_.release(); }
  BorrowedFile(const BorrowedFile&) = delete;
  BorrowedFile& operator=(const BorrowedFile&) = delete;
  File& get() { return file_; }
  const File& get() const { return file_; }

 private:
  File file_;
};

// What the system says of a file another owns.
Status infoOfNative(NativeFile native, FileInfo* info);

// Opens a regular file for reading, never waiting on a FIFO or device
// planted at the path: Replaced ("not a regular file") for anything else.
Status openForReading(const std::string& path, File* file);

// Opens whatever the path names for reading (a pipe such as <(command)
// included), waiting for a FIFO's writer as reading it would.
Status openAnyForReading(const std::string& path, File* file);

// What the system says of a path, following links or not.
Status infoOfPath(const std::string& path, bool followLinks, FileInfo* info);

// Creates a new file at path for writing, exclusively and never through a
// link, with `permissions` less the umask: Exists when the name is taken.
Status createNewFile(const std::string& path, uint32_t permissions, File* file);

// Opens an existing regular file for writing, never through a link; a
// write-protected one is first made writable through a descriptor of that
// very file, so that a name swapped meanwhile cannot turn the change on
// another.
Status openExistingForWriting(const std::string& path, File* file);

// Copies `from` into `to`, both from offset 0, until its end or `limit`
// bytes, through the kernel where it can. *copied receives the count
// written, also on failure. Cancelled when keepGoing, asked between pieces,
// says stop.
Status copyFileData(const File& from, File& to, uint64_t limit,
                    const std::function<bool()>& keepGoing, uint64_t* copied);

}  // namespace talvek
