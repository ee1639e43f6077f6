#include "job/journal.h"

#include <algorithm>
#include <memory>

#include "job/checksum.h"
#include "job/wipe_file.h"
#include "platform/file_lock.h"
#include "platform/random_name.h"
#include "platform/user_dirs.h"

namespace talvek {
namespace {

constexpr size_t kCopyBuffer = size_t{1} << 20;
// How much is copied between two questions whether to go on.
constexpr uint64_t kAskStep = uint64_t{8} << 20;
constexpr int kMaxNameDraws = 100;
constexpr size_t kMaxKeptStem = 200;

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string freshJournalName(const char* suffix) {
  return std::string(kJournalPrefix) + randomNameSuffix() + suffix;
}

// Reads exactly size bytes at offset.
bool readExactly(const File& file, std::string& out, size_t size, uint64_t offset) {
  out.assign(size, '\0');
  size_t got = 0;
  return file.readAt(offset, out.data(), size, &got).ok() && got == size;
}

}  // namespace

std::string journalDirectory() {
  const std::string base = stateHome();
  return base.empty() ? std::string() : base + "/Brellam/Talvek";
}

Journal::~Journal() {
  if (created_ && !sealed_) (void)dispose();
}

void Journal::reset() {
  file_.reset();
  directory_ = PrivateDirectory();
  name_.clear();
  sealed_ = false;
  created_ = false;
  copied_ = 0;
  checksum_ = 0;
  record_ = JournalRecord{};
}

std::string Journal::path() const {
  return name_.empty() ? std::string() : directory_.path() + "/" + name_;
}

Status Journal::create(const std::string& directory) {
  reset();
  if (Status opened = directory_.open(directory, /*create=*/true); !opened.ok()) return opened;
  for (int draw = 0; draw < kMaxNameDraws; ++draw) {
    const Status unnamed = directory_.createUnnamed(&file_);
    if (unnamed.ok()) {
      // Nobody else can see it yet: the lock is there before its name is.
      (void)tryLockExclusive(file_);
      created_ = true;
      return {};
    }
    if (!unnamed.is(Condition::Unsupported)) return unnamed;
    std::string name = freshJournalName(kPartialSuffix);
    File file;
    const Status made = directory_.createExclusive(name, &file);
    if (made.is(Condition::Exists)) continue;
    if (!made.ok()) return made;
    // Another instance's recovery may take the new file for a dead job's in
    // the moment before it is locked, and remove it: then draw again.
    FileInfo info;
    if (!tryLockExclusive(file) || !file.info(&info).ok() || info.links == 0) continue;
    file_ = std::move(file);
    name_ = std::move(name);
    created_ = true;
    return {};
  }
  return Status::failure("create", directory, Condition::Exists);
}

Status Journal::copyFrom(const File& from, uint64_t size, const std::function<bool()>& keepGoing) {
  const std::unique_ptr<char[]> buffer(new char[kCopyBuffer]);
  uint64_t asked = 0;
  copied_ = 0;
  checksum_ = 0;
  while (copied_ < size) {
    if (copied_ - asked >= kAskStep) {
      asked = copied_;
      if (keepGoing && !keepGoing()) return Status::failure("copy", path(), Condition::Cancelled);
    }
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(kCopyBuffer, size - copied_));
    size_t got = 0;
    if (Status read = from.readAt(copied_, buffer.get(), piece, &got); !read.ok()) return read;
    // A file that got shorter meanwhile: its old bytes are what was there.
    if (got == 0) break;
    checksum_ = crc32c(checksum_, buffer.get(), got);
    if (Status wrote = file_.writeAt(copied_, buffer.get(), got); !wrote.ok()) {
      return wrote.about(directory_.path());
    }
    file_.startWriteback(copied_, got);
    copied_ += got;
  }
  return {};
}

Status Journal::rename(const std::string& name) {
  const Status renamed = name_.empty() ? directory_.name(file_, name) : directory_.rename(name_, name);
  if (renamed.ok()) name_ = name;
  return renamed;
}

Status Journal::takeName(const std::function<std::string()>& draw) {
  for (int attempt = 0; attempt < kMaxNameDraws; ++attempt) {
    Status renamed = rename(draw());
    if (!renamed.is(Condition::Exists)) return renamed;
  }
  return Status::failure("rename", directory_.path(), Condition::Exists);
}

Status Journal::seal(JournalRecord record) {
  record.size = copied_;
  record.dataChecksum = checksum_;
  const std::string end = encodeJournalRecord(record);
  if (Status wrote = file_.writeAt(copied_, end.data(), end.size()); !wrote.ok()) {
    return wrote.about(directory_.path());
  }
  if (Status synced = file_.sync(); !synced.ok()) return synced.about(directory_.path());
  if (Status named = takeName([] { return freshJournalName(kJournalSuffix); }); !named.ok()) {
    return named;
  }
  record_ = std::move(record);
  // From here on the journal counts: it is sealed even if the directory's
  // sync fails, so that it is not disposed of while its name may last.
  sealed_ = true;
  return directory_.sync();
}

Status Journal::restoreInto(File& out) const {
  uint64_t copied = 0;
  if (Status copiedBack = copyFileData(file_, out, record_.size, {}, &copied); !copiedBack.ok()) {
    return copiedBack.about(record_.path);
  }
  if (copied != record_.size) return Status::failure("read", path(), Condition::Other);
  if (Status cut = out.truncate(record_.size); !cut.ok()) return cut.about(record_.path);
  // Times and mode are the owner's to set: someone else's file keeps the
  // ones it has, which the job could not have changed either.
  const Status timed = out.setModified({record_.modifiedSeconds, record_.modifiedNanoseconds});
  if (!timed.ok() && !timed.is(Condition::AccessDenied)) return timed.about(record_.path);
  FileInfo now;
  if (Status looked = out.info(&now); !looked.ok()) return looked.about(record_.path);
  if (now.permissions != (record_.mode & 07777)) {
    const Status moded = out.setPermissions(record_.mode);
    if (!moded.ok() && !moded.is(Condition::AccessDenied)) return moded.about(record_.path);
  }
  if (Status synced = out.sync(); !synced.ok()) return synced.about(record_.path);
  return {};
}

Status Journal::dispose() {
  if (!file_.valid()) return {};
  Status removed;
  if (!name_.empty()) {
    removed = directory_.remove(name_);
    if (removed.ok()) {
      (void)directory_.sync();
      name_.clear();
    }
  }
  FileInfo info;
  // All of it, the record included: a journal whose name stayed reads as
  // blank and is removed by the next start without a word.
  if (file_.info(&info).ok() && info.size > 0) (void)zeroFileContents(file_, info.size);
  file_.reset();
  sealed_ = false;
  created_ = false;
  return removed;
}

Status Journal::keep(std::string* keptPath) {
  if (sealed_) {
    if (Status cut = file_.truncate(record_.size); !cut.ok()) return cut.about(path());
  }
  if (Status synced = file_.sync(); !synced.ok()) return synced.about(path());
  const std::string stem = fileNameOf(record_.path).substr(0, kMaxKeptStem);
  const Status renamed = takeName([&stem] {
    return (stem.empty() ? std::string("file") : stem) + ".old-" + randomNameSuffix();
  });
  if (!renamed.ok()) return renamed;
  (void)directory_.sync();
  *keptPath = path();
  file_.reset();
  name_.clear();
  sealed_ = false;
  created_ = false;
  return {};
}

Status Journal::adopt(const PrivateDirectory& directory, const std::string& name, JournalEnd* end) {
  reset();
  directory_ = directory.duplicate();
  const std::string where = directory_.path() + "/" + name;
  File file;
  if (Status opened = directory_.openOwnFile(name, &file); !opened.ok()) return opened;
  if (!tryLockExclusive(file)) return Status::failure("lock", where, Condition::Busy);
  // Another instance may have dealt with it between the open and the lock.
  FileInfo info;
  if (!file.info(&info).ok() || info.links == 0) {
    return Status::failure("open", where, Condition::NotFound);
  }
  file_ = std::move(file);
  name_ = name;
  std::string tail;
  if (info.size < kJournalTailSize ||
      !readExactly(file_, tail, kJournalTailSize, info.size - kJournalTailSize)) {
    *end = JournalEnd::Blank;
    return {};
  }
  *end = classifyJournalTail(tail);
  if (*end != JournalEnd::Sealed) return {};
  const std::optional<uint32_t> bodyLength = journalBodyLength(tail);
  std::string body;
  std::optional<JournalRecord> record;
  if (bodyLength && *bodyLength + kJournalTailSize <= info.size &&
      readExactly(file_, body, *bodyLength, info.size - kJournalTailSize - *bodyLength)) {
    record = decodeJournalRecord(body, tail, info.size);
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
    size_t got = 0;
    if (Status read = file_.readAt(offset, buffer.get(), piece, &got); !read.ok()) {
      return read.about(path());
    }
    if (got != piece) return Status::failure("read", path(), Condition::Other);
    crc = crc32c(crc, buffer.get(), piece);
    offset += piece;
  }
  if (crc != record_.dataChecksum) return Status::failure("read", path(), Condition::Replaced);
  return {};
}

}  // namespace talvek
