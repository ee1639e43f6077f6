// The file transform job: encodes or decodes one source file into one
// destination file through a private working copy, so the destination may be
// the source itself. The result replaces the destination only once it is
// complete; on failure the destination keeps its old bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace talvek {

// Why a job stopped; None when it succeeded.
enum class JobFailure {
  None,
  SourceInvalid,       // missing or not a regular file
  DestinationInvalid,  // probeDestination said NotCreatable
  DestinationExists,   // exists and overwrite was false
  EmptyKey,
  WorkingCopy,  // the source could not be copied to the temporary directory
  ReadFailed,   // reading the working copy failed
  WriteFailed,  // writing, syncing or replacing the destination failed
};

struct JobReport {
  JobFailure failure = JobFailure::None;
  // Set when the job failed while writing the destination in place and could
  // not put its old bytes back: the private copy of those bytes (the working
  // copy, when the destination is the source) is kept here, unwiped.
  std::string keptWorkingCopy;
};

// Called now and then with the bytes transformed so far and the total.
using JobProgress = std::function<void(uint64_t done, uint64_t total)>;

// Returns true when the destination holds the complete transform of the
// source. Checks run in this order: source, destination, key text.
bool transformFile(std::string source, std::string destination, std::string keyText, bool encode,
                   bool overwrite, JobReport* report = nullptr, const JobProgress& progress = {});

}  // namespace talvek
