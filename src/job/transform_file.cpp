#include "job/transform_file.h"

#include "codec/block_transform.h"
#include "codec/key_text.h"
#include "job/transform_loop.h"
#include "job/write_destination.h"
#include "platform/file.h"
#include "platform/file_status.h"

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
  File in;
  FileInfo sourceInfo;
  Status opened = openForReading(source, &in);
  if (opened.ok()) opened = in.info(&sourceInfo);
  if (!opened.ok()) return failJob(result, JobFailure::SourceInvalid, source, opened);
  const BlockTransform transform(prepareKeyText(std::move(keyText)), encode);

  DestinationJob job;
  job.destination = destination;
  job.sourceName = source;
  job.source = &in;
  job.sourceInfo = sourceInfo;
  // A new destination gets the source's permission bits less the umask, as
  // cp gives; a replaced one keeps its own.
  job.newFileMode = sourceInfo.permissions & 0777;
  return writeDestination(
      job,
      [&](const FillInput& from, File& out, JobReport& report, uint64_t* written) {
        return transformFileContents(from, out, transform, sourceInfo.size, progress, report,
                                     written);
      },
      result, progress);
}

}  // namespace talvek
