#include "job/transform_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "job/destination.h"
#include "job/job_failure.h"
#include "job/transform_in_place.h"
#include "job/transform_loop.h"
#include "job/working_copy.h"
#include "platform/atomic_file.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

namespace talvek {

bool transformFile(std::string source, std::string destination, std::string keyText, bool encode,
                   bool overwrite, JobReport* report, const JobProgress& progress) {
  JobReport local;
  JobReport& result = report != nullptr ? *report : local;
  result = JobReport{};

  if (!isRegularFile(source)) return failJob(result, JobFailure::SourceInvalid);
  switch (probeDestination(destination)) {
    case DestinationState::NotCreatable:
      return failJob(result, JobFailure::DestinationInvalid);
    case DestinationState::Exists:
      if (!overwrite) return failJob(result, JobFailure::DestinationExists);
      break;
    case DestinationState::Creatable:
      break;
  }
  if (keyText.empty()) return failJob(result, JobFailure::EmptyKey);

  // One descriptor, opened once, is all the job reads: whatever happens to
  // the name meanwhile (even the result replacing it), the job reads the file
  // it checked. Nothing of the source is copied anywhere else.
  UniqueFd in = openRegularFileForReading(source);
  struct stat sourceStat;
  if (!in.valid() || ::fstat(in.get(), &sourceStat) != 0) {
    return failJob(result, JobFailure::SourceInvalid, "open", source, errno);
  }
  const uint64_t total = static_cast<uint64_t>(sourceStat.st_size);
  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);

  // Writing through a link writes its target; so does replacing.
  std::string target;
  if (!resolveFinalLink(destination, &target)) {
    return failJob(result, JobFailure::WriteFailed, "open", destination, errno);
  }
  struct stat existing;
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    return failJob(result, JobFailure::WriteFailed, "open", destination,
                   S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
  }
  // Replacing by rename would get past a destination this process may not write.
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return failJob(result, JobFailure::WriteFailed, "open", destination, errno);
  }

  // A new destination gets the source's permission bits less the umask;
  // a replaced one keeps its own.
  const mode_t newFileMode = sourceStat.st_mode & 0777;
  // A rename would split a file with several names, and would hand someone
  // else's file over to this process's user: those are written in place.
  const uid_t user = ::geteuid();
  bool inPlace = exists && (existing.st_nlink > 1 || (user != 0 && existing.st_uid != user));
  AtomicFile out;
  if (!inPlace && !out.open(target, newFileMode)) {
    if (out.error() != EACCES && out.error() != EPERM) {
      return failJob(result, JobFailure::WriteFailed, out.failedCall(), destination, out.error());
    }
    inPlace = true;  // a directory that takes no new file
  }
  if (inPlace) {
    const InPlaceJob job{in.get(),    sourceStat, source,
                         destination, target,     exists ? &existing : nullptr,
                         newFileMode};
    return transformInPlace(job, transform, result, progress);
  }

  if (!reserveFileSpace(out.fd(), total)) {
    return failJob(result, JobFailure::WriteFailed, "allocate", destination, errno);
  }
  const LoopOutcome loop = transformFileContents(in.get(), out.fd(), transform, total, progress);
  if (loop.failure == JobFailure::ReadFailed || loop.failure == JobFailure::SourceChanged) {
    return failJob(result, loop.failure, loop.operation, source, loop.error);
  }
  if (loop.failure != JobFailure::None) {
    return failJob(result, loop.failure, loop.operation, destination, loop.error);
  }
  if (!sourceUnchanged(in.get(), sourceStat)) {
    return failJob(result, JobFailure::SourceChanged, "", source);
  }
  if (!out.sync()) {
    return failJob(result, JobFailure::WriteFailed, out.failedCall(), destination, out.error());
  }
  // The last moment to stop: once renamed, the result is in place.
  if (progress && !progress(total, total)) return failJob(result, JobFailure::Stopped);
  if (!out.commit()) {
    return failJob(result, JobFailure::WriteFailed, out.failedCall(), destination, out.error());
  }
  if (out.attributesError() != 0) {
    result.attributesError = out.attributesError();
    result.path = destination;
  }
  return true;
}

}  // namespace talvek
