// The job's fallback when its result cannot be renamed into place (a file
// with several names, someone else's file, a directory that takes no new
// file): the destination is written where it stands, its old bytes kept in a
// private working copy and put back if anything fails or the job is stopped.
#pragma once

#include <sys/stat.h>

#include <string>

#include "codec/block_transform.h"
#include "job/transform_file.h"

namespace talvek {

struct InPlaceJob {
  int source = -1;                        // open for reading
  struct stat sourceStat {};              // when the job opened it
  std::string sourcePath;                 // for messages
  std::string destinationPath;            // as the caller named it, for messages
  std::string target;                     // the destination after following links
  const struct stat* existing = nullptr;  // the target's status, or null when it does not exist
  mode_t newFileMode = 0666;              // for a target that does not exist, before the umask
};

// Returns true when the target holds the complete result. On false the report
// says why, and the target holds its old bytes, or does not exist if it did
// not; when even putting them back failed, the working copy is kept and named
// in the report.
bool transformInPlace(const InPlaceJob& job, const BlockTransform& transform, JobReport& report,
                      const JobProgress& progress);

// Whether the source still has the size and modification time it had when
// the job opened it.
bool sourceUnchanged(int source, const struct stat& before);

}  // namespace talvek
