#include "job/write_destination.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "job/destination.h"
#include "job/journal.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/target_file.h"
#include "platform/unique_fd.h"

namespace talvek {
namespace {

// Runs the fill and names the file a failure concerns: reading concerns the
// source, writing the destination.
bool runFill(const FillResult& fill, const FillInput& in, int out, const DestinationJob& job,
             JobReport& report, uint64_t* written) {
  if (fill(in, out, report, written)) return true;
  const bool readSide =
      report.failure == JobFailure::ReadFailed || report.failure == JobFailure::SourceChanged;
  if (report.failure != JobFailure::Stopped) {
    report.path = readSide ? job.sourceName : job.destination;
  }
  return false;
}

// A failure of the system about the destination, named as the caller named it.
bool failDestination(JobReport& report, JobFailure failure, const DestinationJob& job,
                     const Status& status) {
  return failJob(report, failure, job.destination, status);
}

// A failure of a call on the destination, with errno as the call left it.
bool failDestinationCall(JobReport& report, const DestinationJob& job, const char* operation) {
  return failJob(report, JobFailure::WriteFailed, job.destination,
                 Status::failure(operation, job.destination, errno));
}

bool destinationIsSource(const DestinationJob& job, const TargetFile& target) {
  return job.source >= 0 && target.exists() && sameIdentity(target.status(), job.sourceStat);
}

// What ends every fill the same way: the result cut to its length and
// synced, the source unchanged, and the last word of the progress callback.
bool finishFill(const DestinationJob& job, int out, uint64_t written, bool sourceIsCopy,
                JobReport& report, const JobProgress& progress) {
  if (::ftruncate(out, static_cast<off_t>(written)) != 0) {
    return failDestinationCall(report, job, "truncate");
  }
  if (::fsync(out) != 0) return failDestinationCall(report, job, "fsync");
  if (job.source >= 0 && !sourceIsCopy && !sourceUnchanged(job.source, job.sourceStat)) {
    return failJob(report, JobFailure::SourceChanged, job.sourceName);
  }
  if (progress && !progress(written, job.expectedSize())) {
    return failJob(report, JobFailure::Stopped);
  }
  return true;
}

// A destination that did not exist, in a directory that took no unnamed
// file: created exclusively and removed again on failure.
bool writeNewInPlace(const DestinationJob& job, const TargetFile& target, const FillResult& fill,
                     JobReport& report, const JobProgress& progress) {
  Status status;
  UniqueFd out = target.reopen(O_WRONLY | O_CREAT | O_EXCL, &status, job.newFileMode);
  if (!out.valid()) {
    const JobFailure failure =
        status.is(Condition::Exists) ? JobFailure::DestinationExists : JobFailure::WriteFailed;
    return failDestination(report, failure, job, status);
  }
  uint64_t written = 0;
  if (runFill(fill, FillInput{job.source, false}, out.get(), job, report, &written) &&
      finishFill(job, out.get(), written, false, report, progress)) {
    if (out.close()) return true;
    failDestinationCall(report, job, "close");
  }
  out.reset();
  (void)::unlinkat(target.directory(), target.name().c_str(), 0);
  return false;
}

// Puts the journal's bytes back after a failed or stopped in-place write, or
// keeps them where the report says when that fails too.
void undoInPlace(const TargetFile& target, Journal& journal, int out, bool isSource,
                 JobReport& report) {
  UniqueFd reopened;
  Status status;
  if (out < 0) {
    reopened = target.reopen(O_WRONLY, &status);
    out = reopened.get();
  }
  if (out >= 0 && journal.restoreInto(out).ok()) {
    report.leftOver = journal.dispose();
    return;
  }
  std::string kept;
  if (journal.keep(&kept).ok()) {
    report.keptCopy = kept;
  } else {
    report.keptCopy = journal.path();
  }
  report.keptContent = isSource ? KeptCopyContent::SourceData : KeptCopyContent::DestinationContents;
}

// The fallback: an existing destination written where it stands.
bool writeInPlace(const DestinationJob& job, const TargetFile& target, const FillResult& fill,
                  JobReport& report, const JobProgress& progress) {
  const auto keepGoing = [&progress, &job] { return !progress || progress(0, job.expectedSize()); };
  const bool isSource = destinationIsSource(job, target);
  Status status;
  // The file as it was checked, for its lock, its copy and its mode.
  const UniqueFd held = target.reopen(O_RDONLY, &status);
  if (!held.valid()) return failDestination(report, JobFailure::WorkingCopy, job, status);
  status = lockExclusive(held.get(), kBusyDestinationWait, keepGoing);
  if (status.is(Condition::Cancelled)) return failJob(report, JobFailure::Stopped);
  if (status.is(Condition::Busy)) return failJob(report, JobFailure::DestinationBusy, job.destination);
  if (!status.ok()) return failDestination(report, JobFailure::WriteFailed, job, status);

  // The old bytes are whole and synced in the journal before a single one
  // is overwritten.
  const struct stat& old = target.status();
  Journal journal;
  status = journal.create(journalDirectory());
  if (status.ok()) status = journal.copyFrom(held.get(), static_cast<uint64_t>(old.st_size), keepGoing);
  if (status.is(Condition::Cancelled)) return failJob(report, JobFailure::Stopped);
  if (!status.ok()) {
    return failJob(report, JobFailure::WorkingCopy,
                   status.path().empty() ? job.destination : status.path(), status);
  }
  if (isSource && !sourceUnchanged(job.source, job.sourceStat)) {
    return failJob(report, JobFailure::SourceChanged, job.sourceName);
  }
  JournalRecord record;
  record.path = target.absolutePath();
  record.device = static_cast<uint64_t>(old.st_dev);
  record.inode = static_cast<uint64_t>(old.st_ino);
  record.modifiedSeconds = static_cast<int64_t>(old.st_mtim.tv_sec);
  record.modifiedNanoseconds = static_cast<uint32_t>(old.st_mtim.tv_nsec);
  record.mode = static_cast<uint32_t>(old.st_mode & 07777);
  status = journal.seal(std::move(record));
  if (!status.ok()) {
    (void)journal.dispose();
    return failJob(report, JobFailure::WorkingCopy, status.path(), status);
  }

  // Through the descriptor of the very file the journal protects: a
  // write-protected file the user agreed to replace is made writable, and
  // gets its mode back from the journal if the job fails.
  UniqueFd out = target.reopen(O_WRONLY, &status);
  bool madeWritable = false;
  if (!out.valid() && status.is(Condition::AccessDenied) && target.mayChangeMode()) {
    madeWritable = ::fchmod(held.get(), old.st_mode | S_IWUSR) == 0;
    if (madeWritable) out = target.reopen(O_WRONLY, &status);
  }
  if (!out.valid()) {
    // Not a byte was written: only the mode may need putting back.
    if (madeWritable) (void)::fchmod(held.get(), old.st_mode & 07777);
    (void)journal.dispose();
    return failDestination(report, JobFailure::WriteFailed, job, status);
  }
  uint64_t written = 0;
  const FillInput in{isSource ? journal.fd() : job.source, isSource};
  if (runFill(fill, in, out.get(), job, report, &written) &&
      finishFill(job, out.get(), written, isSource, report, progress)) {
    if (out.close()) {
      report.leftOver = journal.dispose();
      return true;
    }
    failDestinationCall(report, job, "close");
  }
  undoInPlace(target, journal, out.get(), isSource, report);
  return false;
}

// The usual way: a new file beside the destination, put in its place once
// complete.
bool writeBeside(const DestinationJob& job, AtomicFile& out, const FillResult& fill,
                 JobReport& report, const JobProgress& progress) {
  if (!reserveFileSpace(out.fd(), job.expectedSize())) return failDestinationCall(report, job, "allocate");
  uint64_t written = 0;
  if (!runFill(fill, FillInput{job.source, false}, out.fd(), job, report, &written)) return false;
  if (job.source >= 0 && !sourceUnchanged(job.source, job.sourceStat)) {
    return failJob(report, JobFailure::SourceChanged, job.sourceName);
  }
  if (Status synced = out.sync(); !synced.ok()) {
    return failDestination(report, JobFailure::WriteFailed, job, synced);
  }
  // The last moment to stop: once named, the result is in place.
  if (progress && !progress(written, job.expectedSize())) {
    return failJob(report, JobFailure::Stopped);
  }
  if (Status committed = out.commit(); !committed.ok()) {
    // Something took the destination's name while the job ran.
    if (committed.is(Condition::Exists)) {
      return failJob(report, JobFailure::DestinationExists, job.destination);
    }
    return failDestination(report, JobFailure::WriteFailed, job, committed);
  }
  if (out.attributesError() != 0) {
    report.attributesLost = Status::failure("setxattr", job.destination, out.attributesError());
  }
  return true;
}

}  // namespace

bool checkJobDestination(const std::string& destination, bool overwrite, JobReport& report) {
  switch (probeDestination(destination)) {
    case DestinationState::NotCreatable:
      return failJob(report, JobFailure::DestinationInvalid);
    case DestinationState::Exists:
      return overwrite || failJob(report, JobFailure::DestinationExists);
    case DestinationState::Creatable:
      return true;
  }
  return failJob(report, JobFailure::DestinationInvalid);
}

bool sourceUnchanged(int source, const struct stat& before) {
  struct stat now;
  return ::fstat(source, &now) == 0 && now.st_size == before.st_size &&
         now.st_mtim.tv_sec == before.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

bool writeDestination(const DestinationJob& job, const FillResult& fill, JobReport& report,
                      const JobProgress& progress) {
  // Writing through a link writes its target; so does replacing.
  TargetFile target;
  if (Status opened = target.open(job.destination); !opened.ok()) {
    return failDestination(report, JobFailure::WriteFailed, job, opened);
  }
  if (target.exists() && !target.isRegular()) {
    return failJob(report, JobFailure::WriteFailed, job.destination,
                   Status::failure("open", job.destination,
                                   S_ISDIR(target.status().st_mode) ? EISDIR : EINVAL));
  }
  // A rename would split a file with several names, and would hand someone
  // else's file over to this process's user: those are written in place.
  const uid_t user = ::geteuid();
  const struct stat& existing = target.status();
  const bool inPlace =
      target.exists() && (existing.st_nlink > 1 || (user != 0 && existing.st_uid != user));
  if (!inPlace) {
    AtomicFile::Options options;
    options.newFileMode = job.newFileMode;
    options.replaceWriteProtected = true;
    options.onlyTheFileChecked = true;
    AtomicFile out;
    const Status opened = out.open(target.duplicate(), options);
    if (opened.ok()) return writeBeside(job, out, fill, report, progress);
    // Anything but a directory that takes no new file is a failure.
    if (!opened.is(Condition::AccessDenied)) {
      return failDestination(report, JobFailure::WriteFailed, job, opened);
    }
  }
  if (!target.exists()) return writeNewInPlace(job, target, fill, report, progress);
  return writeInPlace(job, target, fill, report, progress);
}

}  // namespace talvek
