#include "job/write_destination.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "job/destination.h"
#include "job/job_failure.h"
#include "job/working_copy.h"
#include "job/working_file.h"
#include "platform/atomic_file.h"
#include "platform/file_status.h"
#include "platform/temp_directory.h"
#include "platform/unique_fd.h"

namespace talvek {
namespace {

// Fills the report from a failed fill: reading concerns the source, writing
// the destination.
bool failFill(JobReport& report, const DestinationJob& job, const LoopOutcome& loop) {
  const bool readSide =
      loop.failure == JobFailure::ReadFailed || loop.failure == JobFailure::SourceChanged;
  return failJob(report, loop.failure, loop.operation.c_str(),
                 readSide ? job.sourceName : job.destination, loop.error);
}

// Writes the whole of `backup` over `out`, cut to its length, and syncs it.
bool restoreFrom(const WorkingFile& backup, int out) {
  uint64_t copied = 0;
  return copyOpenFile(backup.fd(), out, &copied) &&
         ::ftruncate(out, static_cast<off_t>(copied)) == 0 && ::fsync(out) == 0;
}

// The fallback: the destination written where it stands. `existing` is its
// status, or null when it does not exist.
bool writeInPlace(const DestinationJob& job, const std::string& target, const struct stat* existing,
                  const FillResult& fill, JobReport& report, const JobProgress& progress) {
  const bool destinationIsSource = job.source >= 0 && existing != nullptr &&
                                   existing->st_dev == job.sourceStat.st_dev &&
                                   existing->st_ino == job.sourceStat.st_ino;
  const auto keepGoing = [&progress, &job] { return !progress || progress(0, job.expectedSize()); };
  WorkingFile backup;
  UniqueFd out;
  int in = job.source;
  if (existing == nullptr) {
    out.reset(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                     job.newFileMode));
    if (!out.valid()) {
      return failJob(report, JobFailure::WriteFailed, "open", job.destination, errno);
    }
  } else {
    UniqueFd old;
    if (!destinationIsSource) {
      old = openRegularFileForReading(target);
      if (!old.valid()) {
        return failJob(report, JobFailure::WorkingCopy, "open", job.destination, errno);
      }
    }
    if (!backup.create()) {
      return failJob(report, JobFailure::WorkingCopy, "create", tempDirectory(), errno);
    }
    if (!backup.fill(destinationIsSource ? job.source : old.get(), keepGoing)) {
      if (errno == ECANCELED) return failJob(report, JobFailure::Stopped);
      return failJob(report, JobFailure::WorkingCopy, backup.failedCall(), backup.path(), errno);
    }
    if (destinationIsSource) {
      // The file is about to be overwritten: work from the copy just made.
      if (!sourceUnchanged(job.source, job.sourceStat)) {
        return failJob(report, JobFailure::SourceChanged, "", job.sourceName);
      }
      in = backup.fd();
    }
    out.reset(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (!out.valid()) {
      return failJob(report, JobFailure::WriteFailed, "open", job.destination, errno);
    }
  }

  const LoopOutcome loop = fill(in, out.get());
  JobReport failure;
  if (loop.failure != JobFailure::None) {
    failFill(failure, job, loop);
  } else if (::ftruncate(out.get(), static_cast<off_t>(loop.bytes)) != 0) {
    failJob(failure, JobFailure::WriteFailed, "truncate", job.destination, errno);
  } else if (::fsync(out.get()) != 0) {
    failJob(failure, JobFailure::WriteFailed, "fsync", job.destination, errno);
  } else if (job.source >= 0 && !destinationIsSource &&
             !sourceUnchanged(job.source, job.sourceStat)) {
    failJob(failure, JobFailure::SourceChanged, "", job.sourceName);
  } else if (progress && !progress(loop.bytes, job.expectedSize())) {
    failJob(failure, JobFailure::Stopped);
  } else if (!out.close()) {
    failJob(failure, JobFailure::WriteFailed, "close", job.destination, errno);
  } else {
    return true;
  }
  report = failure;

  if (existing == nullptr) {
    // Nothing was there before: leave nothing new.
    out.reset();
    (void)removeFile(target);
    return false;
  }
  if (!out.valid()) out.reset(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (!out.valid() || !restoreFrom(backup, out.get())) {
    report.keptContent =
        destinationIsSource ? KeptCopyContent::SourceData : KeptCopyContent::DestinationContents;
    report.keptCopy = backup.keep();
  }
  return false;
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
  const std::string& destination = job.destination;
  // Writing through a link writes its target; so does replacing.
  std::string target;
  if (!resolveFinalLink(destination, &target)) {
    return failJob(report, JobFailure::WriteFailed, "open", destination, errno);
  }
  struct stat existing;
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    return failJob(report, JobFailure::WriteFailed, "open", destination,
                   S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
  }
  // Replacing by rename would get past a destination this process may not write.
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return failJob(report, JobFailure::WriteFailed, "open", destination, errno);
  }

  // A rename would split a file with several names, and would hand someone
  // else's file over to this process's user: those are written in place.
  const uid_t user = ::geteuid();
  bool inPlace = exists && (existing.st_nlink > 1 || (user != 0 && existing.st_uid != user));
  AtomicFile out;
  if (!inPlace && !out.open(target, job.newFileMode)) {
    if (out.error() != EACCES && out.error() != EPERM) {
      return failJob(report, JobFailure::WriteFailed, out.failedCall(), destination, out.error());
    }
    inPlace = true;  // a directory that takes no new file
  }
  if (inPlace) {
    return writeInPlace(job, target, exists ? &existing : nullptr, fill, report, progress);
  }

  if (!reserveFileSpace(out.fd(), job.expectedSize())) {
    return failJob(report, JobFailure::WriteFailed, "allocate", destination, errno);
  }
  const LoopOutcome loop = fill(job.source, out.fd());
  if (loop.failure != JobFailure::None) return failFill(report, job, loop);
  if (job.source >= 0 && !sourceUnchanged(job.source, job.sourceStat)) {
    return failJob(report, JobFailure::SourceChanged, "", job.sourceName);
  }
  if (!out.sync()) {
    return failJob(report, JobFailure::WriteFailed, out.failedCall(), destination, out.error());
  }
  // The last moment to stop: once renamed, the result is in place.
  if (progress && !progress(loop.bytes, job.expectedSize())) {
    return failJob(report, JobFailure::Stopped);
  }
  if (!out.commit()) {
    return failJob(report, JobFailure::WriteFailed, out.failedCall(), destination, out.error());
  }
  if (out.attributesError() != 0) {
    report.attributesError = out.attributesError();
    report.path = destination;
  }
  return true;
}

}  // namespace talvek
