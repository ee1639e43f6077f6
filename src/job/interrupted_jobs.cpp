#include "job/interrupted_jobs.h"

#include "platform/directory.h"
#include "platform/file_lock.h"
#include "platform/target_file.h"

namespace talvek {
namespace {

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool isJournalName(const std::string& name) {
  return name.rfind(kJournalPrefix, 0) == 0 &&
         (endsWith(name, kJournalSuffix) || endsWith(name, kPartialSuffix));
}


// Writes the journal's bytes back into its file, if the file is the one
// the journal names. Busy (EWOULDBLOCK) when another job writes it now.
Status restoreFile(const Journal& journal, bool* replaced) {
  const JournalRecord& record = journal.record();
  *replaced = false;
  TargetFile target;
  Status status = target.open(record.path);
  if (!status.ok() && !status.is(Condition::NotFound)) return status;
  const FileIdentity recorded{record.device, record.inode};
  if (!status.ok() || !target.isRegular() || !(target.info().identity == recorded)) {
    *replaced = true;
    return Status::failure("open", record.path, Condition::Replaced);
  }
  File held;
  if (status = target.reopen(TargetFile::Access::Read, &held); !status.ok()) return status;
  if (!tryLockExclusive(held)) return Status::failure("lock", record.path, Condition::Busy);
  File out;
  status = target.reopen(TargetFile::Access::Write, &out);
  // The job may have made a write-protected file writable before it died.
  if (status.is(Condition::AccessDenied) && target.info().mayChangePermissions) {
    if (Status moded = held.setPermissions(target.info().permissions | 0200); !moded.ok()) {
      return moded.about(record.path);
    }
    status = target.reopen(TargetFile::Access::Write, &out);
  }
  if (!status.ok()) return status;
  return journal.restoreInto(out);
}

// Keeps the journal's bytes as a plain file and says so.
InterruptedJob keptJob(Journal& journal, InterruptedJob::Outcome outcome, Status why) {
  InterruptedJob job;
  job.outcome = outcome;
  job.file = journal.record().path;
  job.why = std::move(why);
  const std::string journalPath = journal.path();
  if (!journal.keep(&job.keptCopy).ok()) job.keptCopy = journalPath;
  return job;
}

}  // namespace

std::vector<InterruptedJob> recoverInterruptedJobs(const std::string& directory) {
  std::vector<InterruptedJob> jobs;
  PrivateDirectory handle;
  if (!handle.open(directory, /*create=*/false).ok()) return jobs;
  for (const std::string& name : handle.names()) {
    if (!isJournalName(name)) continue;
    Journal journal;
    JournalEnd end = JournalEnd::Blank;
    // Locked by a job that is still running, or gone meanwhile.
    if (!journal.adopt(handle, name, &end).ok()) continue;
    // A journal never sealed, or spent: its job had not touched the file
    // yet, or had finished with it.
    if (endsWith(name, kPartialSuffix) || end == JournalEnd::Blank) {
      (void)journal.dispose();
      continue;
    }
    if (end == JournalEnd::Damaged) {
      jobs.push_back(keptJob(journal, InterruptedJob::Outcome::CopyDamaged, {}));
      continue;
    }
    if (Status intact = journal.verify(); !intact.ok()) {
      jobs.push_back(keptJob(journal, InterruptedJob::Outcome::CopyDamaged, intact));
      continue;
    }
    bool replaced = false;
    const Status restored = restoreFile(journal, &replaced);
    if (restored.ok()) {
      InterruptedJob job;
      job.file = journal.record().path;
      (void)journal.dispose();
      jobs.push_back(std::move(job));
    } else if (replaced) {
      jobs.push_back(keptJob(journal, InterruptedJob::Outcome::FileReplaced, restored));
    } else if (!restored.is(Condition::Busy)) {
      jobs.push_back(keptJob(journal, InterruptedJob::Outcome::RestoreFailed, restored));
    }
    // Busy: another job writes the file now; the next start tries again.
  }
  return jobs;
}

std::vector<InterruptedJob> recoverInterruptedJobs() {
  return recoverInterruptedJobs(journalDirectory());
}

}  // namespace talvek
