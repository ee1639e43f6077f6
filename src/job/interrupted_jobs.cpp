#include "job/interrupted_jobs.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/errno_status.h"
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

// The names in the directory that journals have, in order.
std::vector<std::string> journalNames(int directory) {
  std::vector<std::string> names;
  const int fd = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return names;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (isJournalName(name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// Writes the journal's bytes back into its file, if the file is the one
// the journal names. Busy (EWOULDBLOCK) when another job writes it now.
Status restoreFile(const Journal& journal, bool* replaced) {
  const JournalRecord& record = journal.record();
  *replaced = false;
  TargetFile target;
  Status status = target.open(record.path);
  if (!status.ok() && !status.is(Condition::NotFound)) return status;
  if (!status.ok() || !target.isRegular() || target.status().st_dev != record.device ||
      target.status().st_ino != record.inode) {
    *replaced = true;
    return Status::failure("open", record.path, ESTALE);
  }
  const UniqueFd held = target.reopen(O_RDONLY, &status);
  if (!held.valid()) return status;
  if (!tryLockExclusive(held.get())) return Status::failure("lock", record.path, EWOULDBLOCK);
  UniqueFd out = target.reopen(O_WRONLY, &status);
  // The job may have made a write-protected file writable before it died.
  if (!out.valid() && status.is(Condition::AccessDenied) && target.mayChangeMode()) {
    if (::fchmod(held.get(), target.status().st_mode | S_IWUSR) != 0) {
      return errnoStatus("chmod", record.path);
    }
    out = target.reopen(O_WRONLY, &status);
  }
  if (!out.valid()) return status;
  return journal.restoreInto(out.get());
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
  UniqueFd handle;
  if (!openJournalDirectory(directory, &handle, /*create=*/false).ok()) return jobs;
  for (const std::string& name : journalNames(handle.get())) {
    Journal journal;
    JournalEnd end = JournalEnd::Blank;
    // Locked by a job that is still running, or gone meanwhile.
    if (!journal.adopt(handle.get(), directory, name, &end).ok()) continue;
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
