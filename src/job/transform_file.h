// The file transform job: encodes or decodes one source file into one
// destination file. The result is written to a new file beside the
// destination and put in its place once complete, so the destination may be
// the source itself and, on failure, when stopped or after a crash, keeps
// its old bytes. Where the destination must be written where it stands
// (several names, someone else's file, a directory that takes no new file),
// its old bytes are first kept in a journal that outlives a crash and put
// back if anything fails (write_destination.h).
#pragma once

#include <string>

#include "job/job_report.h"

namespace talvek {

// Returns true when the destination holds the complete transform of the
// source. Checks run in this order: source, destination, key text. With
// overwrite, an existing destination is replaced even when it is
// write-protected, as the user who agreed to replace it could have made it
// writable: the result then has the owner's write permission.
bool transformFile(std::string source, std::string destination, std::string keyText, bool encode,
                   bool overwrite, JobReport* report = nullptr, const JobProgress& progress = {});

}  // namespace talvek
