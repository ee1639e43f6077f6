// The journal that lets a file written where it stands survive the crash of
// its job, as a database's rollback journal does: the file's old bytes and a
// record naming the file (journal_record.h), complete and synced under the
// user's state directory before the first byte of the file is overwritten.
// A job that ends removes its journal; the next start of either program puts
// the old bytes back from any journal whose job did not end
// (interrupted_jobs.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "job/journal_record.h"
#include "platform/status.h"
#include "platform/directory.h"
#include "platform/file.h"

namespace talvek {

// stateHome() + "/Brellam/Talvek", where journals are kept; "" when there
// is no home to keep them in.
std::string journalDirectory();

// "job-" + random + ".journal": the names of sealed journals. Journals that
// were never sealed, where the file system has no unnamed files, carry
// ".partial" instead.
inline constexpr char kJournalPrefix[] = "job-";
inline constexpr char kJournalSuffix[] = ".journal";
inline constexpr char kPartialSuffix[] = ".partial";

class Journal {
 public:
  Journal() = default;
  // An unsealed journal is disposed of; a sealed one is left for the next
  // start to undo its job, as a crash would leave it.
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Creates an empty journal in `directory`: unnamed where the file system
  // allows, else as a ".partial" file. It is locked from the start, so that
  // another instance's recovery leaves it alone while this job lives.
  Status create(const std::string& directory);

  // Copies `size` bytes of `from` (from offset 0) into the journal and
  // computes their checksum, asking keepGoing between pieces (Cancelled).
  Status copyFrom(const File& from, uint64_t size, const std::function<bool()>& keepGoing);

  // Writes the record (its size and checksum are those of the copy), syncs
  // the journal, names it and syncs the directory: from here on a crash of
  // the job is undone at the next start.
  Status seal(JournalRecord record);
  bool sealed() const { return sealed_; }

  // The old bytes, at offsets 0 to size, for reading.
  const File& file() const { return file_; }
  const JournalRecord& record() const { return record_; }
  // The journal's path while it has a name.
  std::string path() const;

  // Puts the old bytes back into `out` (a writable descriptor of the file
  // the record names) with its old size, modification time and mode, and
  // syncs it.
  Status restoreInto(File& out) const;

  // Removes the journal, then zeroes its bytes. Removal first, so that a
  // crash in between leaves no journal that would undo a finished job. A
  // failed removal is reported (the zeroed file then stays).
  Status dispose();

  // Keeps the old bytes as a plain file beside the journal: the record is
  // cut off and the file renamed to "<file's name>.old-XXXXXX"; `keptPath`
  // receives its path.
  Status keep(std::string* keptPath);

  // Takes over a journal left by another process, for recovery: locks it
  // (Busy when its job is still running) and reads its record. `end` says
  // what its end holds; the record is only filled when Sealed.
  Status adopt(const PrivateDirectory& directory, const std::string& name, JournalEnd* end);
  // Whether the old bytes still have the checksum the record gives.
  Status verify() const;

 private:
  // Gives the journal a new name in its directory, never replacing one.
  Status rename(const std::string& name);
  // rename() to names from `draw` until one is free.
  Status takeName(const std::function<std::string()>& draw);
  void reset();

  PrivateDirectory directory_;
  File file_;
  std::string name_;  // "" while unnamed
  bool sealed_ = false;
  bool created_ = false;  // by create(), not adopted
  uint64_t copied_ = 0;
  uint32_t checksum_ = 0;
  JournalRecord record_;
};

}  // namespace talvek
