#include "job/transform_in_place.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "job/job_failure.h"
#include "job/transform_loop.h"
#include "job/working_copy.h"
#include "job/working_file.h"
#include "platform/file_status.h"
#include "platform/temp_directory.h"
#include "platform/unique_fd.h"

namespace talvek {
namespace {

// Writes the whole of `backup` over `out`, cut to its length, and syncs it.
bool restoreFrom(const WorkingFile& backup, int out) {
  uint64_t copied = 0;
  return copyOpenFile(backup.fd(), out, &copied) &&
         ::ftruncate(out, static_cast<off_t>(copied)) == 0 && ::fsync(out) == 0;
}

}  // namespace

bool sourceUnchanged(int source, const struct stat& before) {
  struct stat now;
  return ::fstat(source, &now) == 0 && now.st_size == before.st_size &&
         now.st_mtim.tv_sec == before.st_mtim.tv_sec &&
         now.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

bool transformInPlace(const InPlaceJob& job, const BlockTransform& transform, JobReport& report,
                      const JobProgress& progress) {
  const struct stat* existing = job.existing;
  const bool destinationIsSource = existing != nullptr &&
                                   existing->st_dev == job.sourceStat.st_dev &&
                                   existing->st_ino == job.sourceStat.st_ino;
  const auto keepGoing = [&progress, &job] {
    return !progress || progress(0, static_cast<uint64_t>(job.sourceStat.st_size));
  };
  WorkingFile backup;
  UniqueFd out;
  int in = job.source;
  uint64_t total = static_cast<uint64_t>(job.sourceStat.st_size);
  if (existing == nullptr) {
    out.reset(::open(job.target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                     job.newFileMode));
    if (!out.valid()) {
      return failJob(report, JobFailure::WriteFailed, "open", job.destinationPath, errno);
    }
  } else {
    UniqueFd old;
    if (!destinationIsSource) {
      old = openRegularFileForReading(job.target);
      if (!old.valid()) {
        return failJob(report, JobFailure::WorkingCopy, "open", job.destinationPath, errno);
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
        return failJob(report, JobFailure::SourceChanged, "", job.sourcePath);
      }
      in = backup.fd();
      total = backup.size();
    }
    out.reset(::open(job.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (!out.valid()) {
      return failJob(report, JobFailure::WriteFailed, "open", job.destinationPath, errno);
    }
  }

  const LoopOutcome loop = transformFileContents(in, out.get(), transform, total, progress);
  JobReport failure;
  if (loop.failure != JobFailure::None) {
    const bool readSide =
        loop.failure == JobFailure::ReadFailed || loop.failure == JobFailure::SourceChanged;
    failJob(failure, loop.failure, loop.operation, readSide ? job.sourcePath : job.destinationPath,
            loop.error);
  } else if (::ftruncate(out.get(), static_cast<off_t>(total)) != 0) {
    failJob(failure, JobFailure::WriteFailed, "truncate", job.destinationPath, errno);
  } else if (::fsync(out.get()) != 0) {
    failJob(failure, JobFailure::WriteFailed, "fsync", job.destinationPath, errno);
  } else if (!destinationIsSource && !sourceUnchanged(job.source, job.sourceStat)) {
    failJob(failure, JobFailure::SourceChanged, "", job.sourcePath);
  } else if (progress && !progress(total, total)) {
    failJob(failure, JobFailure::Stopped);
  } else if (!out.close()) {
    failJob(failure, JobFailure::WriteFailed, "close", job.destinationPath, errno);
  } else {
    return true;
  }
  report = failure;

  if (existing == nullptr) {
    // Nothing was there before: leave nothing new.
    out.reset();
    (void)removeFile(job.target);
    return false;
  }
  if (!out.valid()) out.reset(::open(job.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (!out.valid() || !restoreFrom(backup, out.get())) {
    report.keptContent =
        destinationIsSource ? KeptCopyContent::SourceData : KeptCopyContent::DestinationContents;
    report.keptCopy = backup.keep();
  }
  return false;
}

}  // namespace talvek
