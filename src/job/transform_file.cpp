#include "job/transform_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "job/transform_loop.h"
#include "job/working_copy.h"
#include "job/write_destination.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

namespace talvek {

bool transformFile(std::string source, std::string destination, std::string keyText, bool encode,
                   bool overwrite, JobReport* report, const JobProgress& progress) {
  JobReport local;
  JobReport& result = freshReport(report, local);

  if (!isRegularFile(source)) return failJob(result, JobFailure::SourceInvalid);
  if (!checkJobDestination(destination, overwrite, result)) return false;
  if (keyText.empty()) return failJob(result, JobFailure::EmptyKey);

  // One descriptor, opened once, is all the job reads: whatever happens to
  // the name meanwhile (even the result replacing it), the job reads the file
  // it checked. Nothing of the source is copied anywhere else.
  UniqueFd in = openRegularFileForReading(source);
  struct stat sourceStat;
  if (!in.valid() || ::fstat(in.get(), &sourceStat) != 0) {
    return failJob(result, JobFailure::SourceInvalid, source, Status::failure("open", source, errno));
  }
  const uint64_t total = static_cast<uint64_t>(sourceStat.st_size);
  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);

  DestinationJob job;
  job.destination = destination;
  job.sourceName = source;
  job.source = in.get();
  job.sourceStat = sourceStat;
  // A new destination gets the source's permission bits less the umask, as
  // cp gives; a replaced one keeps its own.
  job.newFileMode = sourceStat.st_mode & 0777;
  return writeDestination(
      job,
      [&](const FillInput& from, int out, JobReport& report, uint64_t* written) {
        return transformFileContents(from, out, transform, total, progress, report, written);
      },
      result, progress);
}

}  // namespace talvek
