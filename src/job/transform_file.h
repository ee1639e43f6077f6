// The file transform job: encodes or decodes one source file into one
// destination file. The result is written to a new file beside the
// destination and put in its place once complete, so the destination may be
// the source itself and, on failure, when stopped or after a crash, keeps
// its old bytes. Where the destination must be written where it stands
// (several names, someone else's file, a directory that takes no new file),
// its old bytes are first kept in a journal that outlives a crash and put
// back if anything fails (write_destination.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace talvek {

// Why a job stopped; None when it succeeded.
enum class JobFailure {
  None,
  SourceInvalid,       // missing, not a regular file, or could not be opened
  DestinationInvalid,  // probeDestination said NotCreatable
  DestinationExists,   // exists and overwrite was false, or appeared (or was
                       // replaced) while the job ran
  EmptyKey,
  WorkingCopy,    // the backup for writing in place could not be made
  ReadFailed,     // reading the source failed
  WriteFailed,    // writing, syncing or replacing the destination failed
  SourceChanged,  // the source's size or modification time changed while it was read
  Stopped,        // the progress callback asked the job to stop
  DestinationBusy,  // another job of the program writes the destination in place
};

// What a working copy kept after a failed in-place write holds.
enum class KeptCopyContent {
  None,
  SourceData,           // the destination was the source
  DestinationContents,  // the destination's old contents
};

struct JobReport {
  JobFailure failure = JobFailure::None;
  // Why, for failures that come from the system: the call or step that
  // failed ("read", "write", "fsync", "rename" ...), the path it concerned
  // (the destination as named by the caller rather than the hidden file
  // beside it), and errno. Empty and 0 for failures of the checks.
  std::string operation;
  std::string path;
  int error = 0;
  // Set when a failed in-place write could not put the destination's old
  // bytes back: the private copy of those bytes is kept here, unwiped.
  std::string keptCopy;
  KeptCopyContent keptContent = KeptCopyContent::None;
  // Set, whether the job succeeded or not, when its journal (zeroed by
  // then) could not be removed: its path and errno.
  std::string leftOver;
  int leftOverError = 0;
  // Set on success when the replaced destination's extended attributes (ACLs
  // among them) could not all be carried over to the new file: errno.
  int attributesError = 0;
};

// Called with the bytes transformed so far and the total, at the start, after
// every buffer and at the end. Returning false asks the job to stop: it then
// ends as JobFailure::Stopped, the destination keeping its old bytes (or not
// existing, if it did not), and no file of the job left anywhere.
using JobProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Returns true when the destination holds the complete transform of the
// source. Checks run in this order: source, destination, key text. With
// overwrite, an existing destination is replaced even when it is
// write-protected, as the user who agreed to replace it could have made it
// writable: the result then has the owner's write permission.
bool transformFile(std::string source, std::string destination, std::string keyText, bool encode,
                   bool overwrite, JobReport* report = nullptr, const JobProgress& progress = {});

}  // namespace talvek
