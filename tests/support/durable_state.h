// What a power cut would leave of some directories: for the regular files
// directly in them, the bytes of each inode and the names in each directory
// as they were when last made durable. The fault seam tells it about the
// calls that create files and make them durable, and has it rewrite the
// directories once the power has been cut.
#pragma once

#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace talvek::test {

class DurableState {
 public:
  // Forgets everything and starts from what the directories hold now, all
  // of it durable. Returns what went wrong.
  std::vector<std::string> watch(const std::vector<std::string>& directories);
  // Forgets everything.
  void clear();

  // fd is a regular file a call has just created: a new inode, empty until
  // synced, even where an earlier file had the same inode number.
  void noteCreated(int fd);
  // fd has just been synced by fsync or fdatasync: a file's current bytes,
  // or a watched directory's current names, are now durable.
  void noteSynced(int fd);

  // Rewrites the directories to the durable state: each holds exactly its
  // durable names, each name the durable bytes of its inode, on that same
  // inode wherever it is still under some name in them (or, with
  // keepUnsyncedBytes, the bytes such an inode holds now). Regular files
  // only; other entries are left alone. Returns what went wrong, including
  // what noteSynced could not record. Forgets everything afterwards.
  std::vector<std::string> restore(bool keepUnsyncedBytes = false);

 private:
  struct Inode {
    dev_t dev;
    ino_t ino;
    auto operator<=>(const Inode&) const = default;
  };
  // An inode in one life: a number reused for a new file is a new key.
  struct FileKey {
    Inode inode;
    uint64_t life;
    auto operator<=>(const FileKey&) const = default;
  };
  struct Content {
    std::string bytes;
    mode_t mode;
  };
  struct Directory {
    std::string path;
    Inode inode;
    std::map<std::string, FileKey> names;
  };

  // The names of the regular files in a directory, with their inodes.
  static bool listFiles(int dirFd, std::map<std::string, Inode>* names);

  FileKey keyOf(const Inode& inode) const;
  bool watchedDevice(dev_t dev) const;

  std::mutex mutex_;
  std::vector<Directory> directories_;
  std::map<Inode, uint64_t> lives_;     // absent: the life the start saw
  std::map<FileKey, Content> durable_;  // absent: empty
  std::vector<std::string> errors_;
};

}  // namespace talvek::test
