// Undoing the jobs that did not end: every start of the program looks for
// journals (journal.h) whose job died or lost its power part-way through
// writing a file in place, and puts the file's old bytes back.
#pragma once

#include <string>
#include <vector>

#include "job/journal.h"
#include "platform/status.h"

namespace talvek {

// What became of one interrupted job's file.
struct InterruptedJob {
  enum class Outcome {
    Restored,       // the file has its old bytes (size, time, mode) again
    FileReplaced,   // the file is not the one the job wrote (replaced, removed)
    CopyDamaged,    // the journal's copy does not read back as it was written
    RestoreFailed,  // putting the bytes back failed: `why` says how
  };
  Outcome outcome = Outcome::Restored;
  std::string file;      // as the journal names it
  std::string keptCopy;  // unless Restored: the old bytes as a plain file, "" if none
  Status why;
};

// Undoes every interrupted job whose journal is in `directory` and returns
// what became of each (nothing for journals that were never sealed: their
// job had not touched its file yet). A journal is applied only when it is
// whole and the file it names is still that very file (device and inode);
// otherwise its bytes are kept beside it as a plain file. Journals of jobs
// still running elsewhere are locked and left alone, as is a directory
// that is not this user's alone.
std::vector<InterruptedJob> recoverInterruptedJobs(const std::string& directory);
std::vector<InterruptedJob> recoverInterruptedJobs();  // in journalDirectory()

}  // namespace talvek
