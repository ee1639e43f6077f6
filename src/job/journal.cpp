#include "job/journal.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "job/checksum.h"
#include "job/wipe_file.h"
#include "job/working_copy.h"
#include "platform/posix/errno_status.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/file_status.h"
#include "platform/random_name.h"
#include "platform/unnamed_file.h"
#include "platform/user_dirs.h"

namespace talvek {
namespace {

constexpr size_t kCopyBuffer = size_t{1} << 20;
// How much is copied between two questions whether to go on.
constexpr uint64_t kAskStep = uint64_t{8} << 20;
constexpr int kMaxNameDraws = 100;
constexpr size_t kMaxKeptStem = 200;

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string freshJournalName(const char* suffix) {
  return std::string(kJournalPrefix) + randomNameSuffix() + suffix;
}

// Renames within one directory without replacing anything: EEXIST when the
// new name is taken.
int renameNoReplace(int directory, const std::string& from, const std::string& to) {
  if (::renameat2(directory, from.c_str(), directory, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::linkat(directory, from.c_str(), directory, to.c_str(), 0) != 0) return -1;
  (void)::unlinkat(directory, from.c_str(), 0);
  return 0;
}

// Reads exactly size bytes at offset.
bool readExactly(int fd, std::string& out, size_t size, uint64_t offset) {
  out.assign(size, '\0');
  return preadFull(fd, out.data(), size, offset) == static_cast<ssize_t>(size);
}

}  // namespace

std::string journalDirectory() {
  const std::string base = stateHome();
  return base.empty() ? std::string() : base + "/Brellam/Talvek";
}

Status openJournalDirectory(const std::string& directory, UniqueFd* handle, bool create) {
  // No home to keep journals in.
  if (directory.empty()) return Status::failure("open", "$HOME", ENOENT);
  if (directory.front() != '/') return Status::failure("open", directory, ENOENT);
  if (create) {
    // Each directory made is synced into its parent, so that the journal's
    // name does not vanish with its directory in a power cut.
    for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
      const std::string part = directory.substr(0, slash);
      if (::mkdir(part.c_str(), 0700) == 0) {
        (void)syncParentDirectory(part);
      } else if (errno != EEXIST) {
        return errnoStatus("mkdir", part);
      }
      if (slash == std::string::npos) break;
    }
  }
  UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir.valid()) return errnoStatus("open", directory);
  struct stat st;
  if (::fstat(dir.get(), &st) != 0) return errnoStatus("stat", directory);
  if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return Status::failure("open", directory, EPERM);
  }
  *handle = std::move(dir);
  return {};
}

Journal::~Journal() {
  if (created_ && !sealed_) (void)dispose();
}

void Journal::reset() {
  fd_.reset();
  directory_.reset();
  directoryPath_.clear();
  name_.clear();
  sealed_ = false;
  created_ = false;
  copied_ = 0;
  checksum_ = 0;
  record_ = JournalRecord{};
}

std::string Journal::path() const {
  return name_.empty() ? std::string() : directoryPath_ + "/" + name_;
}

Status Journal::create(const std::string& directory) {
  reset();
  if (Status opened = openJournalDirectory(directory, &directory_, true); !opened.ok()) {
    return opened;
  }
  directoryPath_ = directory;
  for (int draw = 0; draw < kMaxNameDraws; ++draw) {
    const Status unnamed = createUnnamedFile(directory_.get(), &fd_);
    if (unnamed.ok()) {
      // Nobody else can see it yet: the lock is there before its name is.
      (void)tryLockExclusive(fd_.get());
      created_ = true;
      return {};
    }
    if (!unnamedFilesUnsupported(unnamed)) {
      return unnamed.about(directory);
    }
    std::string name = freshJournalName(kPartialSuffix);
    UniqueFd fd(::openat(directory_.get(), name.c_str(),
                         O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
    if (!fd.valid()) {
      if (errno == EEXIST) continue;
      return errnoStatus("create", directory + "/" + name);
    }
    // Another instance's recovery may take the new file for a dead job's in
    // the moment before it is locked, and remove it: then draw again.
    struct stat st;
    if (!tryLockExclusive(fd.get()) || ::fstat(fd.get(), &st) != 0 || st.st_nlink == 0) continue;
    fd_ = std::move(fd);
    name_ = std::move(name);
    created_ = true;
    return {};
  }
  return Status::failure("create", directory, EEXIST);
}

Status Journal::copyFrom(int from, uint64_t size, const std::function<bool()>& keepGoing) {
  const std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  uint64_t asked = 0;
  copied_ = 0;
  checksum_ = 0;
  while (copied_ < size) {
    if (copied_ - asked >= kAskStep) {
      asked = copied_;
      if (keepGoing && !keepGoing()) return Status::failure("copy", path(), ECANCELED);
    }
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, size - copied_));
    const ssize_t n = preadFull(from, buffer.get(), piece, copied_);
    if (n < 0) return errnoStatus("read");
    // A file that got shorter meanwhile: its old bytes are what was there.
    if (n == 0) break;
    const auto count = static_cast<size_t>(n);
    checksum_ = crc32c(checksum_, buffer.get(), count);
    if (!pwriteAll(fd_.get(), buffer.get(), count, copied_)) {
      return errnoStatus("write", directoryPath_);
    }
    startWriteback(fd_.get(), copied_, count);
    copied_ += count;
  }
  return {};
}

Status Journal::rename(const std::string& name) {
  if (!name_.empty()) {
    if (renameNoReplace(directory_.get(), name_, name) != 0) {
      return errnoStatus("rename", directoryPath_ + "/" + name);
    }
  } else if (Status named = nameUnnamedFile(fd_.get(), directory_.get(), name); !named.ok()) {
    return named.about(directoryPath_ + "/" + name);
  }
  name_ = name;
  return {};
}

Status Journal::takeName(const std::function<std::string()>& draw) {
  for (int attempt = 0; attempt < kMaxNameDraws; ++attempt) {
    Status renamed = rename(draw());
    if (!renamed.is(Condition::Exists)) return renamed;
  }
  return Status::failure("rename", directoryPath_, EEXIST);
}

Status Journal::seal(JournalRecord record) {
  record.size = copied_;
  record.dataChecksum = checksum_;
  const std::string end = encodeJournalRecord(record);
  if (!pwriteAll(fd_.get(), end.data(), end.size(), copied_)) {
    return errnoStatus("write", directoryPath_);
  }
  if (::fsync(fd_.get()) != 0) return errnoStatus("fsync", directoryPath_);
  if (Status named = takeName([] { return freshJournalName(kJournalSuffix); }); !named.ok()) {
    return named;
  }
  record_ = std::move(record);
  // From here on the journal counts: it is sealed even if the directory's
  // sync fails, so that it is not disposed of while its name may last.
  sealed_ = true;
  if (!syncDirectory(directory_.get())) return errnoStatus("fsync", directoryPath_);
  return {};
}

Status Journal::restoreInto(int out) const {
  uint64_t copied = 0;
  if (!copyOpenFile(fd_.get(), out, &copied, {}, record_.size)) {
    return errnoStatus("write", record_.path);
  }
  if (copied != record_.size) return Status::failure("read", path(), EIO);
  if (::ftruncate(out, static_cast<off_t>(record_.size)) != 0) {
    return errnoStatus("truncate", record_.path);
  }
  // Times and mode are the owner's to set: someone else's file keeps the
  // ones it has, which the job could not have changed either.
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(record_.modifiedSeconds),
                              static_cast<long>(record_.modifiedNanoseconds)}};
  if (::futimens(out, times) != 0 && errno != EPERM) {
    return errnoStatus("utime", record_.path);
  }
  struct stat st;
  if (::fstat(out, &st) != 0) return errnoStatus("stat", record_.path);
  if ((st.st_mode & 07777) != (record_.mode & 07777) &&
      ::fchmod(out, static_cast<mode_t>(record_.mode & 07777)) != 0 && errno != EPERM) {
    return errnoStatus("chmod", record_.path);
  }
  if (::fsync(out) != 0) return errnoStatus("fsync", record_.path);
  return {};
}

Status Journal::dispose() {
  if (!fd_.valid()) return {};
  Status removed;
  if (!name_.empty()) {
    if (::unlinkat(directory_.get(), name_.c_str(), 0) == 0) {
      (void)syncDirectory(directory_.get());
      name_.clear();
    } else {
      removed = errnoStatus("remove", path());
    }
  }
  struct stat st;
  // All of it, the record included: a journal whose name stayed reads as
  // blank and is removed by the next start without a word.
  if (::fstat(fd_.get(), &st) == 0 && st.st_size > 0) {
    (void)zeroFileContents(fd_.get(), static_cast<uint64_t>(st.st_size));
  }
  fd_.reset();
  sealed_ = false;
  created_ = false;
  return removed;
}

Status Journal::keep(std::string* keptPath) {
  if (sealed_ && ::ftruncate(fd_.get(), static_cast<off_t>(record_.size)) != 0) {
    return errnoStatus("truncate", path());
  }
  if (::fsync(fd_.get()) != 0) return errnoStatus("fsync", path());
  const std::string stem = fileNameOf(record_.path).substr(0, kMaxKeptStem);
  const Status renamed = takeName([&stem] {
    return (stem.empty() ? std::string("file") : stem) + ".old-" + randomNameSuffix();
  });
  if (!renamed.ok()) return renamed;
  (void)syncDirectory(directory_.get());
  *keptPath = path();
  fd_.reset();
  name_.clear();
  sealed_ = false;
  created_ = false;
  return {};
}

Status Journal::adopt(int directory, const std::string& directoryPath, const std::string& name,
                      JournalEnd* end) {
  reset();
  directoryPath_ = directoryPath;
  const std::string where = directoryPath + "/" + name;
  UniqueFd fd(
      ::openat(directory, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return errnoStatus("open", where);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return errnoStatus("stat", where);
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return Status::failure("open", where, EPERM);
  if (!tryLockExclusive(fd.get())) return Status::failure("lock", where, EWOULDBLOCK);
  // Another instance may have dealt with it between the open and the lock.
  if (::fstat(fd.get(), &st) != 0 || st.st_nlink == 0) return Status::failure("open", where, ENOENT);
  directory_.reset(::fcntl(directory, F_DUPFD_CLOEXEC, 0));
  fd_ = std::move(fd);
  name_ = name;
  const auto size = static_cast<uint64_t>(st.st_size);
  std::string tail;
  if (size < kJournalTailSize ||
      !readExactly(fd_.get(), tail, kJournalTailSize, size - kJournalTailSize)) {
    *end = JournalEnd::Blank;
    return {};
  }
  *end = classifyJournalTail(tail);
  if (*end != JournalEnd::Sealed) return {};
  const std::optional<uint32_t> bodyLength = journalBodyLength(tail);
  std::string body;
  std::optional<JournalRecord> record;
  if (bodyLength && *bodyLength + kJournalTailSize <= size &&
      readExactly(fd_.get(), body, *bodyLength, size - kJournalTailSize - *bodyLength)) {
    record = decodeJournalRecord(body, tail, size);
  }
  if (!record) {
    *end = JournalEnd::Damaged;
    return {};
  }
  record_ = *record;
  copied_ = record_.size;
  sealed_ = true;
  return {};
}

Status Journal::verify() const {
  const std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  uint32_t crc = 0;
  for (uint64_t offset = 0; offset < record_.size;) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, record_.size - offset));
    const ssize_t n = preadFull(fd_.get(), buffer.get(), piece, offset);
    if (n < 0) return errnoStatus("read", path());
    if (static_cast<size_t>(n) != piece) return Status::failure("read", path(), EIO);
    crc = crc32c(crc, buffer.get(), piece);
    offset += piece;
  }
  if (crc != record_.dataChecksum) return Status::failure("read", path(), EBADMSG);
  return {};
}

}  // namespace talvek
