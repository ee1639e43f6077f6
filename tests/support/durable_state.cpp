#include "durable_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "real_calls.h"

namespace talvek::test {

namespace {

constexpr mode_t kPermissions = 07777;
constexpr char kScratchPrefix[] = ".seam-restore-";

std::string describe(const std::string& operation, const std::string& path, int error) {
  return operation + " " + path + ": " + std::strerror(error);
}

bool readAll(int fd, std::string* bytes) {
  bytes->clear();
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = real::pread(fd, buffer, sizeof buffer, static_cast<off_t>(bytes->size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes->append(buffer, static_cast<size_t>(got));
  }
}

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put =
        real::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// The bytes of a file just synced: through fd when it reads, else through a
// descriptor of its own, which works for a file already unlinked too.
bool readSynced(int fd, std::string* bytes) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_ACCMODE) != O_WRONLY) return readAll(fd, bytes);
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const int copy = real::open(self.c_str(), O_RDONLY | O_CLOEXEC);
  if (copy < 0) return false;
  const bool read = readAll(copy, bytes);
  const int error = errno;
  real::close(copy);
  errno = error;
  return read;
}

// Opens a file for writing, making it writable for the while if need be.
// *restoreMode is then the mode to put back, else kNoMode.
constexpr mode_t kNoMode = ~mode_t{0};
int openForRewrite(int dirFd, const std::string& name, mode_t* restoreMode) {
  *restoreMode = kNoMode;
  const int flags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC;
  int fd = real::openat(dirFd, name.c_str(), flags);
  struct stat st;
  if (fd >= 0 || errno != EACCES || ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      ::fchmodat(dirFd, name.c_str(), (st.st_mode & kPermissions) | S_IWUSR, 0) != 0) {
    return fd;
  }
  fd = real::openat(dirFd, name.c_str(), flags);
  if (fd < 0) {
    const int error = errno;
    ::fchmodat(dirFd, name.c_str(), st.st_mode & kPermissions, 0);
    errno = error;
  } else {
    *restoreMode = st.st_mode & kPermissions;
  }
  return fd;
}

// Truncates the file to the bytes, keeping its inode; leaves it untouched
// when it holds them already.
bool rewrite(int dirFd, const std::string& name, const std::string& bytes) {
  const int reader = real::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (reader >= 0) {
    std::string now;
    const bool same = readAll(reader, &now) && now == bytes;
    real::close(reader);
    if (same) return true;
  }
  mode_t restoreMode = kNoMode;
  const int fd = openForRewrite(dirFd, name, &restoreMode);
  if (fd < 0) return false;
  const bool written = real::ftruncate(fd, 0) == 0 && writeAll(fd, bytes);
  const int error = errno;
  if (restoreMode != kNoMode) real::fchmod(fd, restoreMode);
  real::close(fd);
  errno = error;
  return written;
}

// A new file with the bytes and mode, under a name of the seam's own.
bool createScratch(int dirFd, const std::string& bytes, mode_t mode, std::string* name) {
  for (int n = 0;; ++n) {
    *name = kScratchPrefix + std::to_string(n);
    const int fd =
        real::openat(dirFd, name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return false;
    // The umask has no say in a mode that was durable.
    const bool written = writeAll(fd, bytes) && real::fchmod(fd, mode) == 0;
    const int error = errno;
    real::close(fd);
    errno = error;
    return written;
  }
}

// Another name for an inode, of the seam's own.
bool linkScratch(int fromDir, const std::string& from, int toDir, std::string* name) {
  for (int n = 0;; ++n) {
    *name = kScratchPrefix + std::to_string(n);
    if (real::linkat(fromDir, from.c_str(), toDir, name->c_str(), 0) == 0) return true;
    if (errno != EEXIST) return false;
  }
}

}  // namespace

bool DurableState::listFiles(int dirFd, std::map<std::string, Inode>* names) {
  names->clear();
  const int copy = real::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* const dir = copy < 0 ? nullptr : ::fdopendir(copy);
  if (dir == nullptr) {
    if (copy >= 0) real::close(copy);
    return false;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode)) {
      names->emplace(entry->d_name, Inode{st.st_dev, st.st_ino});
    }
    errno = 0;
  }
  const int error = errno;
  ::closedir(dir);
  errno = error;
  return error == 0;
}

DurableState::FileKey DurableState::keyOf(const Inode& inode) const {
  const auto life = lives_.find(inode);
  return {inode, life == lives_.end() ? 0 : life->second};
}

bool DurableState::watchedDevice(dev_t dev) const {
  for (const Directory& directory : directories_) {
    if (directory.inode.dev == dev) return true;
  }
  return false;
}

void DurableState::clear() {
  const std::lock_guard<std::mutex> lock(mutex_);
  directories_.clear();
  lives_.clear();
  durable_.clear();
  errors_.clear();
}

std::vector<std::string> DurableState::watch(const std::vector<std::string>& directories) {
  clear();
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> errors;
  for (const std::string& path : directories) {
    const int dirFd = real::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    std::map<std::string, Inode> names;
    if (dirFd < 0 || ::fstat(dirFd, &st) != 0 || !listFiles(dirFd, &names)) {
      errors.push_back(describe("watch", path, errno));
      if (dirFd >= 0) real::close(dirFd);
      continue;
    }
    Directory directory{path, {st.st_dev, st.st_ino}, {}};
    bool seen = false;
    for (const Directory& other : directories_) seen = seen || other.inode == directory.inode;
    for (const auto& [name, inode] : names) {
      const FileKey key{inode, 0};
      directory.names.emplace(name, key);
      if (durable_.count(key) != 0) continue;
      Content content{{}, 0600};
      const int fd = real::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
      struct stat file;
      if (fd < 0 || ::fstat(fd, &file) != 0 || !readAll(fd, &content.bytes)) {
        errors.push_back(describe("read", path + "/" + name, errno));
      } else {
        content.mode = file.st_mode & kPermissions;
      }
      if (fd >= 0) real::close(fd);
      durable_.emplace(key, std::move(content));
    }
    real::close(dirFd);
    if (!seen) directories_.push_back(std::move(directory));
  }
  return errors;
}

void DurableState::noteCreated(int fd) {
  const int error = errno;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (watchedDevice(st.st_dev)) {
      const Inode inode{st.st_dev, st.st_ino};
      ++lives_[inode];
      durable_[keyOf(inode)] = Content{{}, st.st_mode & kPermissions};
    }
  }
  errno = error;
}

void DurableState::noteSynced(int fd) {
  const int error = errno;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    errno = error;
    return;
  }
  const Inode inode{st.st_dev, st.st_ino};
  const std::lock_guard<std::mutex> lock(mutex_);
  if (S_ISREG(st.st_mode) && watchedDevice(st.st_dev)) {
    Content content{{}, st.st_mode & kPermissions};
    if (readSynced(fd, &content.bytes)) {
      durable_[keyOf(inode)] = std::move(content);
    } else {
      errors_.push_back(
          describe("read the synced file", "/proc/self/fd/" + std::to_string(fd), errno));
    }
  } else if (S_ISDIR(st.st_mode)) {
    for (Directory& directory : directories_) {
      if (directory.inode != inode) continue;
      std::map<std::string, Inode> names;
      if (!listFiles(fd, &names)) {
        errors_.push_back(describe("list the synced directory", directory.path, errno));
        continue;
      }
      directory.names.clear();
      for (const auto& [name, file] : names) directory.names.emplace(name, keyOf(file));
    }
  }
  errno = error;
}

std::vector<std::string> DurableState::restore(bool keepUnsyncedBytes) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> errors = std::move(errors_);
  struct Place {
    size_t directory;
    std::string name;
  };
  const auto pathOf = [this](const Place& place) {
    return directories_[place.directory].path + "/" + place.name;
  };
  const auto fail = [&errors](const std::string& operation, const std::string& path) {
    errors.push_back(describe(operation, path, errno));
  };

  // What the directories hold now, and one name for each inode in them.
  const size_t count = directories_.size();
  std::vector<int> dirFds(count, -1);
  std::vector<std::map<std::string, Inode>> current(count);
  std::map<FileKey, Place> reachable;
  for (size_t i = 0; i < count; ++i) {
    dirFds[i] = real::open(directories_[i].path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFds[i] < 0 || !listFiles(dirFds[i], &current[i])) {
      fail("list", directories_[i].path);
      continue;
    }
    for (const auto& [name, inode] : current[i]) reachable.emplace(keyOf(inode), Place{i, name});
  }

  // Each durable inode gets its durable bytes: in place where it is still
  // reachable, else in a new file under a scratch name.
  std::map<FileKey, Place> sources;
  std::vector<Place> scratch;
  for (size_t i = 0; i < count; ++i) {
    if (dirFds[i] < 0) continue;
    for (const auto& [name, key] : directories_[i].names) {
      if (sources.count(key) != 0) continue;
      const auto found = durable_.find(key);
      const Content content = found != durable_.end() ? found->second : Content{{}, 0600};
      const auto at = reachable.find(key);
      if (at != reachable.end()) {
        if (!keepUnsyncedBytes &&
            !rewrite(dirFds[at->second.directory], at->second.name, content.bytes)) {
          fail("rewrite", pathOf(at->second));
        }
        sources.emplace(key, at->second);
      } else {
        Place place{i, {}};
        if (!createScratch(dirFds[i], content.bytes, content.mode, &place.name)) {
          fail("create", pathOf(place));
          continue;
        }
        sources.emplace(key, place);
        scratch.push_back(place);
      }
    }
  }

  // Every durable name onto its inode: linked under a scratch name first,
  // then renamed over whatever holds the name now, so that no inode still
  // wanted loses its last name on the way.
  std::vector<std::pair<Place, std::string>> moves;
  for (size_t i = 0; i < count; ++i) {
    if (dirFds[i] < 0) continue;
    for (const auto& [name, key] : directories_[i].names) {
      const auto now = current[i].find(name);
      if (now != current[i].end() && keyOf(now->second) == key) continue;
      const auto source = sources.find(key);
      if (source == sources.end()) continue;
      Place place{i, {}};
      if (!linkScratch(dirFds[source->second.directory], source->second.name, dirFds[i],
                       &place.name)) {
        fail("link", pathOf(source->second));
        continue;
      }
      moves.emplace_back(std::move(place), name);
    }
  }
  for (const auto& [place, name] : moves) {
    const int dirFd = dirFds[place.directory];
    if (real::renameat(dirFd, place.name.c_str(), dirFd, name.c_str()) != 0) {
      fail("rename onto", pathOf({place.directory, name}));
    }
  }

  // Away with the names that were never durable, and the new files' scratch
  // names.
  for (size_t i = 0; i < count; ++i) {
    for (const auto& [name, inode] : current[i]) {
      if (directories_[i].names.count(name) != 0) continue;
      if (real::unlinkat(dirFds[i], name.c_str(), 0) != 0) fail("unlink", pathOf({i, name}));
    }
  }
  for (const Place& place : scratch) {
    if (real::unlinkat(dirFds[place.directory], place.name.c_str(), 0) != 0) {
      fail("unlink", pathOf(place));
    }
  }
  for (const int fd : dirFds) {
    if (fd >= 0) real::close(fd);
  }

  directories_.clear();
  lives_.clear();
  durable_.clear();
  errors_.clear();
  return errors;
}

}  // namespace talvek::test
