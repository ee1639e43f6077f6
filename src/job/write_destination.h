// The destination half of a job, shared by file and stream sources: the
// result goes to a new file in the destination's directory (unnamed where
// the file system allows), synced and only then put in the destination's
// place. Where it must be written where it stands instead (a file with
// several names, someone else's file, a directory that takes no new file),
// the job locks the file, keeps its old bytes in a journal that outlives a
// crash (journal.h), and puts them back if anything fails or the job is
// stopped.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "job/transform_file.h"
#include "job/transform_loop.h"
#include "platform/file.h"

namespace talvek {

struct DestinationJob {
  std::string destination;  // as the caller named it: messages use it
  std::string sourceName;   // for messages about reading
  // A regular file being read, with what it was when the job opened it;
  // null for a stream, which cannot change behind the job's back or be the
  // destination. Closed by the job once it is done with it when it is the
  // destination (see releaseSource in write_destination.cpp).
  File* source = nullptr;
  FileInfo sourceInfo;
  uint32_t newFileMode = 0666;  // for a destination that does not exist, before the umask

  // The result's size as far as it is known: the source file's, or 0 for a
  // stream.
  uint64_t expectedSize() const { return source != nullptr ? sourceInfo.size : 0; }
};

// Writes the whole result from offset 0 of `out`, as transformFileContents
// does: false with the failure (but not yet its path) in the report.
using FillResult =
    std::function<bool(const FillInput& in, File& out, JobReport& report, uint64_t* written)>;

// How long a job waits for another job that writes the same file in place.
inline constexpr std::chrono::milliseconds kBusyDestinationWait{2000};

// Runs fill into the destination as above. True when the destination holds
// the complete result. On false the report says why, and the destination
// holds its old bytes, or does not exist if it did not; when even putting
// them back failed, they are kept in a plain file the report names. A
// destination that did not exist is created only if nothing else took its
// name meanwhile (else DestinationExists), and one that did is replaced only
// while it is the file that was checked (else DestinationExists too).
// A write-protected destination of this user's is replaced as the user
// agreed to: its mode is changed, and put back on failure, only through a
// descriptor of that very file.
bool writeDestination(const DestinationJob& job, const FillResult& fill, JobReport& report,
                      const JobProgress& progress);

// The job's own destination check, before anything is read: false, with
// DestinationInvalid or DestinationExists in the report, when the probe says
// the path cannot be created or exists and overwrite is false.
bool checkJobDestination(const std::string& destination, bool overwrite, JobReport& report);

// Whether the source still has the size and modification time it had when
// the job opened it.
bool sourceUnchanged(const File& source, const FileInfo& before);

}  // namespace talvek
