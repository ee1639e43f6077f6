#include "job/write_destination.h"

#include "job/destination.h"
#include "job/journal.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/target_file.h"

namespace talvek {
namespace {

// The owner's write permission, which the original's clearing of read-only
// amounts to.
constexpr uint32_t kOwnerWrite = 0200;

// Runs the fill and names the file a failure concerns: reading concerns the
// source, writing the destination.
bool runFill(const FillResult& fill, const FillInput& in, File& out, const DestinationJob& job,
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
  return failJob(report, failure, job.destination, status.about(job.destination));
}

bool destinationIsSource(const DestinationJob& job, const TargetFile& target) {
  return job.source != nullptr && target.exists() &&
         target.info().identity == job.sourceInfo.identity;
}

// Lets go of the source once every byte of it is read and checked, when it
// is the destination too. Windows keeps a file that is open for reading
// from being replaced or written through another handle, this process's
// included; elsewhere closing it changes nothing.
void releaseSource(const DestinationJob& job) {
  if (job.source != nullptr) job.source->reset();
}

// What ends every fill the same way: the result cut to its length and
// synced, the source unchanged, and the last word of the progress callback.
bool finishFill(const DestinationJob& job, File& out, uint64_t written, bool sourceIsCopy,
                JobReport& report, const JobProgress& progress) {
  Status status = out.truncate(written);
  if (status.ok()) status = out.sync();
  if (!status.ok()) return failDestination(report, JobFailure::WriteFailed, job, status);
  if (job.source != nullptr && !sourceIsCopy && !sourceUnchanged(*job.source, job.sourceInfo)) {
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
  File out;
  const Status opened = target.reopen(TargetFile::Access::CreateNew, &out, job.newFileMode);
  if (!opened.ok()) {
    const JobFailure failure =
        opened.is(Condition::Exists) ? JobFailure::DestinationExists : JobFailure::WriteFailed;
    return failDestination(report, failure, job, opened);
  }
  uint64_t written = 0;
  if (runFill(fill, FillInput{job.source, false}, out, job, report, &written) &&
      finishFill(job, out, written, false, report, progress)) {
    const Status closed = out.close();
    if (closed.ok()) return true;
    failDestination(report, JobFailure::WriteFailed, job, closed);
  }
  out.reset();
  (void)target.removeCreated();
  return false;
}

// Puts the journal's bytes back after a failed or stopped in-place write, or
// keeps them where the report says when that fails too.
void undoInPlace(const TargetFile& target, Journal& journal, File& out, bool isSource,
                 JobReport& report) {
  if (!out.valid()) (void)target.reopen(TargetFile::Access::Write, &out);
  if (out.valid() && journal.restoreInto(out).ok()) {
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
  // The file as it was checked, for its lock, its copy and its mode.
  File held;
  Status status = target.reopen(TargetFile::Access::Read, &held);
  if (!status.ok()) return failDestination(report, JobFailure::WorkingCopy, job, status);
  status = lockExclusive(held, kBusyDestinationWait, keepGoing);
  if (status.is(Condition::Cancelled)) return failJob(report, JobFailure::Stopped);
  if (status.is(Condition::Busy)) return failJob(report, JobFailure::DestinationBusy, job.destination);
  if (!status.ok()) return failDestination(report, JobFailure::WriteFailed, job, status);

  // The old bytes are whole and synced in the journal before a single one
  // is overwritten.
  const FileInfo& old = target.info();
  Journal journal;
  status = journal.create(journalDirectory());
  if (status.ok()) status = journal.copyFrom(held, old.size, keepGoing);
  if (status.is(Condition::Cancelled)) return failJob(report, JobFailure::Stopped);
  if (!status.ok()) {
    return failJob(report, JobFailure::WorkingCopy,
                   status.path().empty() ? job.destination : status.path(), status);
  }
  if (isSource && !sourceUnchanged(*job.source, job.sourceInfo)) {
    return failJob(report, JobFailure::SourceChanged, job.sourceName);
  }
  JournalRecord record;
  record.path = target.absolutePath();
  record.device = old.identity.volume;
  record.inode = old.identity.index;
  record.modifiedSeconds = old.modified.seconds;
  record.modifiedNanoseconds = old.modified.nanoseconds;
  record.mode = old.permissions;
  status = journal.seal(std::move(record));
  if (!status.ok()) {
    (void)journal.dispose();
    return failJob(report, JobFailure::WorkingCopy, status.path(), status);
  }

  // Its bytes are in the journal, which the job reads from here on.
  if (isSource) releaseSource(job);

  // Through the descriptor of the very file the journal protects: a
  // write-protected file the user agreed to replace is made writable, and
  // gets its mode back from the journal if the job fails.
  File out;
  status = target.reopen(TargetFile::Access::Write, &out);
  bool madeWritable = false;
  if (!status.ok() && status.is(Condition::AccessDenied) && old.mayChangePermissions) {
    madeWritable = held.setPermissions(old.permissions | kOwnerWrite).ok();
    if (madeWritable) status = target.reopen(TargetFile::Access::Write, &out);
  }
  if (!status.ok()) {
    // Not a byte was written: only the mode may need putting back.
    if (madeWritable) (void)held.setPermissions(old.permissions);
    (void)journal.dispose();
    return failDestination(report, JobFailure::WriteFailed, job, status);
  }
  uint64_t written = 0;
  const FillInput in{isSource ? &journal.file() : job.source, isSource};
  if (runFill(fill, in, out, job, report, &written) &&
      finishFill(job, out, written, isSource, report, progress)) {
    const Status closed = out.close();
    if (closed.ok()) {
      report.leftOver = journal.dispose();
      return true;
    }
    failDestination(report, JobFailure::WriteFailed, job, closed);
  }
  undoInPlace(target, journal, out, isSource, report);
  return false;
}

// The usual way: a new file beside the destination, put in its place once
// complete.
bool writeBeside(const DestinationJob& job, AtomicFile& out, const FillResult& fill,
                 JobReport& report, const JobProgress& progress) {
  if (Status reserved = out.file().reserve(job.expectedSize()); !reserved.ok()) {
    return failDestination(report, JobFailure::WriteFailed, job, reserved);
  }
  uint64_t written = 0;
  if (!runFill(fill, FillInput{job.source, false}, out.file(), job, report, &written)) return false;
  if (job.source != nullptr && !sourceUnchanged(*job.source, job.sourceInfo)) {
    return failJob(report, JobFailure::SourceChanged, job.sourceName);
  }
  if (Status synced = out.sync(); !synced.ok()) {
    return failDestination(report, JobFailure::WriteFailed, job, synced);
  }
  // The last moment to stop: once named, the result is in place.
  if (progress && !progress(written, job.expectedSize())) {
    return failJob(report, JobFailure::Stopped);
  }
  if (destinationIsSource(job, out.target())) releaseSource(job);
  if (Status committed = out.commit(); !committed.ok()) {
    // Something took the destination's name while the job ran.
    if (committed.is(Condition::Exists)) {
      return failJob(report, JobFailure::DestinationExists, job.destination);
    }
    return failDestination(report, JobFailure::WriteFailed, job, committed);
  }
  if (!out.attributesLost().ok()) report.attributesLost = out.attributesLost().about(job.destination);
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

bool sourceUnchanged(const File& source, const FileInfo& before) {
  FileInfo now;
  return source.info(&now).ok() && sameContentStamp(now, before);
}

bool writeDestination(const DestinationJob& job, const FillResult& fill, JobReport& report,
                      const JobProgress& progress) {
  // Writing through a link writes its target; so does replacing.
  TargetFile target;
  if (Status opened = target.open(job.destination); !opened.ok()) {
    return failDestination(report, JobFailure::WriteFailed, job, opened);
  }
  if (target.exists() && !target.isRegular()) {
    return failDestination(report, JobFailure::WriteFailed, job,
                           Status::failure("open", {}, Condition::Unsupported));
  }
  // A rename would split a file with several names, and would hand someone
  // else's file over to this process's user: those are written in place.
  const FileInfo& existing = target.info();
  const bool inPlace = target.exists() && (existing.links > 1 || existing.someoneElses);
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
