// What every job reports: whether it succeeded, and if not, what failed, on
// which file and why, with what it kept of the user's data; and the
// progress callback through which a job is watched and stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/status.h"

namespace talvek {

// Why a job stopped; None when it succeeded.
enum class JobFailure {
  None,
  SourceInvalid,       // missing, not a regular file, or could not be opened
  DestinationInvalid,  // probeDestination said NotCreatable
  DestinationExists,   // exists and overwrite was false, or appeared (or was
                       // replaced) while the job ran
  EmptyKey,
  WorkingCopy,      // the old bytes of a destination written in place could not be kept
  ReadFailed,       // reading the source failed
  WriteFailed,      // writing, syncing or replacing the destination failed
  SourceChanged,    // the source's size or modification time changed while it was read
  Stopped,          // the progress callback asked the job to stop
  DestinationBusy,  // another job of the program writes the destination in place
};

// What a copy kept after a failed in-place write holds.
enum class KeptCopyContent {
  None,
  SourceData,           // the destination was the source
  DestinationContents,  // the destination's old contents
};

struct JobReport {
  JobFailure failure = JobFailure::None;
  // The file the failure concerns, as the caller named it (the destination
  // rather than the hidden file beside it); "" for failures of the checks.
  std::string path;
  // What the system said, for failures that come from it: the call ("read",
  // "fsync", "rename" ...) and the system's code. OK for the others.
  Status why;
  // Set when a failed in-place write could not put the destination's old
  // bytes back: they are kept here, as a plain file.
  std::string keptCopy;
  KeptCopyContent keptContent = KeptCopyContent::None;
  // Set, whether the job succeeded or not, when its journal (zeroed by
  // then) could not be removed: where it is and why.
  Status leftOver;
  // Set on success when the replaced destination's extended attributes (ACLs
  // among them) could not all be carried over to the new file.
  Status attributesLost;
};

// Called with the bytes transformed so far and the total, at the start, after
// every buffer and at the end. Returning false asks the job to stop: it then
// ends as JobFailure::Stopped, the destination keeping its old bytes (or not
// existing, if it did not), and no file of the job left anywhere.
using JobProgress = std::function<bool(uint64_t done, uint64_t total)>;

// The report a job fills: the caller's, or `local` when the caller wants
// none; either way cleared first.
inline JobReport& freshReport(JobReport* report, JobReport& local) {
  JobReport& result = report != nullptr ? *report : local;
  result = JobReport{};
  return result;
}

// Sets the failure, the file it concerns and why, and returns false, for
// `return failJob(...)`.
inline bool failJob(JobReport& report, JobFailure failure, std::string path = {}, Status why = {}) {
  report.failure = failure;
  report.path = std::move(path);
  report.why = std::move(why);
  return false;
}

}  // namespace talvek
