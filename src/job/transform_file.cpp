#include "job/transform_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "job/destination.h"
#include "job/wipe_file.h"
#include "job/working_copy.h"
#include "platform/atomic_file.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

namespace talvek {
namespace {

constexpr uint8_t kWorkingNameLength = 8;
constexpr uint8_t kWorkingExtensionLength = 3;
constexpr size_t kBufferSize = size_t{1} << 20;
constexpr uint64_t kProgressInterval = uint64_t{8} << 20;

// A private copy in the temporary directory, zeroed and removed when the
// object goes away unless it is kept.
class WorkingFile {
 public:
  WorkingFile() = default;
  ~WorkingFile() { dispose(); }
  WorkingFile(const WorkingFile&) = delete;
  WorkingFile& operator=(const WorkingFile&) = delete;

  bool create() {
    fd_ = createWorkingFile(kWorkingNameLength, kWorkingExtensionLength, &path_);
    return fd_.valid();
  }
  // Copies the whole of an open file into this one.
  bool fill(int from) { return copyOpenFile(from, fd_.get(), &size_); }

  int fd() const { return fd_.get(); }
  uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }

  // Leaves the file in place, unwiped, and returns its path.
  std::string keep() {
    fd_.reset();
    return std::move(path_);
  }

  void dispose() {
    if (!fd_.valid()) return;
    struct stat st;
    // The length now, which covers a copy that failed part-way.
    if (::fstat(fd_.get(), &st) == 0 && st.st_size > 0) {
      (void)zeroFileContents(fd_.get(), static_cast<uint64_t>(st.st_size));
    }
    fd_.reset();
    (void)removeFile(path_);
    path_.clear();
  }

 private:
  UniqueFd fd_;
  std::string path_;
  uint64_t size_ = 0;
};

// Reads the working file from its start until it gives no more bytes and
// writes each transformed buffer at the same offset of `out`.
JobFailure streamTransform(const WorkingFile& working, const BlockTransform& transform, int out,
                           const JobProgress& progress) {
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBufferSize]);
  const uint64_t total = working.size();
  uint64_t offset = 0;
  uint64_t reported = 0;
  uint32_t position = 0;
  if (progress && !progress(0, total)) return JobFailure::Stopped;
  for (;;) {
    const ssize_t n = preadFull(working.fd(), buffer.get(), kBufferSize, offset);
    if (n < 0) return JobFailure::ReadFailed;
    if (n == 0) break;
    position = transform.apply(buffer.get(), static_cast<size_t>(n), position);
    if (!pwriteAll(out, buffer.get(), static_cast<size_t>(n), offset)) {
      return JobFailure::WriteFailed;
    }
    startWriteback(out, offset, static_cast<uint64_t>(n));
    offset += static_cast<uint64_t>(n);
    if (progress && offset - reported >= kProgressInterval) {
      if (!progress(offset, total)) return JobFailure::Stopped;
      reported = offset;
    }
  }
  // A file that grew or shrank behind the job's back is not the copy it made.
  if (offset != total) return JobFailure::ReadFailed;
  if (progress && reported != offset && !progress(offset, total)) return JobFailure::Stopped;
  return JobFailure::None;
}

// Writes the whole of `backup` over `out`, cut to its length, and syncs it.
bool restoreFrom(const WorkingFile& backup, int out) {
  uint64_t copied = 0;
  return copyOpenFile(backup.fd(), out, &copied) &&
         ::ftruncate(out, static_cast<off_t>(copied)) == 0 && ::fsync(out) == 0;
}

// The fallback when the result cannot be renamed into place: the destination
// is written where it stands. Its old bytes are kept in a private copy (the
// working file itself when the destination is the source) and put back if
// anything fails; if even that fails, the copy is kept for the caller.
bool transformInPlace(WorkingFile& working, const BlockTransform& transform,
                      const std::string& target, const struct stat* existing,
                      const struct stat& sourceStat, JobReport& report,
                      const JobProgress& progress) {
  const bool destinationIsSource = existing != nullptr && existing->st_dev == sourceStat.st_dev &&
                                   existing->st_ino == sourceStat.st_ino;
  WorkingFile separateBackup;
  WorkingFile* backup = nullptr;
  UniqueFd out;
  if (existing == nullptr) {
    out.reset(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
  } else {
    if (destinationIsSource) {
      backup = &working;
    } else {
      UniqueFd old = openRegularFileForReading(target);
      if (!old.valid() || !separateBackup.create() || !separateBackup.fill(old.get())) {
        report.failure = JobFailure::WriteFailed;
        return false;
      }
      backup = &separateBackup;
    }
    // The backup must survive a crash before the only other copy is overwritten.
    if (::fsync(backup->fd()) != 0) {
      report.failure = JobFailure::WriteFailed;
      return false;
    }
    out.reset(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  }
  if (!out.valid()) {
    report.failure = JobFailure::WriteFailed;
    return false;
  }

  JobFailure failure = streamTransform(working, transform, out.get(), progress);
  if (failure == JobFailure::None &&
      (::ftruncate(out.get(), static_cast<off_t>(working.size())) != 0 || ::fsync(out.get()) != 0 ||
       !out.close())) {
    failure = JobFailure::WriteFailed;
  }
  if (failure == JobFailure::None) return true;

  report.failure = failure;
  if (backup == nullptr) {
    // Nothing was there before: leave nothing new.
    out.reset();
    (void)removeFile(target);
    return false;
  }
  if (!out.valid()) out.reset(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (!out.valid() || !restoreFrom(*backup, out.get())) {
    report.keptContent =
        destinationIsSource ? KeptCopyContent::SourceData : KeptCopyContent::DestinationContents;
    report.keptCopy = backup->keep();
  }
  return false;
}

}  // namespace

bool transformFile(std::string source, std::string destination, std::string keyText, bool encode,
                   bool overwrite, JobReport* report, const JobProgress& progress) {
  JobReport local;
  JobReport& result = report != nullptr ? *report : local;
  result = JobReport{};
  auto fail = [&result](JobFailure failure) {
    result.failure = failure;
    return false;
  };

  if (!isRegularFile(source)) return fail(JobFailure::SourceInvalid);
  switch (probeDestination(destination)) {
    case DestinationState::NotCreatable:
      return fail(JobFailure::DestinationInvalid);
    case DestinationState::Exists:
      if (!overwrite) return fail(JobFailure::DestinationExists);
      break;
    case DestinationState::Creatable:
      break;
  }
  if (keyText.empty()) return fail(JobFailure::EmptyKey);

  struct stat sourceStat;
  WorkingFile working;
  {
    UniqueFd in = openRegularFileForReading(source);
    if (!in.valid() || ::fstat(in.get(), &sourceStat) != 0 || !working.create() ||
        !working.fill(in.get())) {
      return fail(JobFailure::WorkingCopy);
    }
  }

  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);

  // Writing through a link writes its target; so does replacing.
  std::string target;
  if (!resolveFinalLink(destination, &target)) return fail(JobFailure::WriteFailed);
  struct stat existing;
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return fail(JobFailure::WriteFailed);
  // Replacing by rename would get past a destination this process may not write.
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return fail(JobFailure::WriteFailed);
  }

  // A rename would split a file with several names, and would hand someone
  // else's file over to this process's user: those are written in place.
  const uid_t user = ::geteuid();
  bool inPlace = exists && (existing.st_nlink > 1 || (user != 0 && existing.st_uid != user));
  AtomicFile out;
  if (!inPlace && !out.open(target)) {
    if (out.error() != EACCES && out.error() != EPERM) return fail(JobFailure::WriteFailed);
    inPlace = true;
  }
  if (inPlace) {
    return transformInPlace(working, transform, target, exists ? &existing : nullptr, sourceStat,
                            result, progress);
  }

  const JobFailure failure = streamTransform(working, transform, out.fd(), progress);
  if (failure != JobFailure::None) return fail(failure);
  if (!out.commit()) return fail(JobFailure::WriteFailed);
  return true;
}

}  // namespace talvek
