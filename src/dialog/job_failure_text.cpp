#include "dialog/job_failure_text.h"

#include "platform/status.h"

namespace talvek {

namespace {

const char* failureSentence(JobFailure failure) {
  switch (failure) {
    case JobFailure::SourceInvalid:
      return "The source could not be opened!";
    case JobFailure::DestinationInvalid:
      return "The destination could not be created!";
    case JobFailure::DestinationExists:
      return "The destination already exists!";
    case JobFailure::EmptyKey:
      return "The key is empty!";
    case JobFailure::WorkingCopy:
      return "The destination's old contents could not be saved, so it was not written!";
    case JobFailure::ReadFailed:
      return "The source could not be read!";
    case JobFailure::WriteFailed:
      return "The destination could not be written!";
    case JobFailure::SourceChanged:
      return "The source changed while it was read!";
    case JobFailure::Stopped:
      return "The job was stopped!";
    case JobFailure::DestinationBusy:
      return "Another job is writing the destination!";
    case JobFailure::None:
      break;
  }
  return "The job failed!";
}

std::string shown(const PathDisplay& show, const std::string& path) {
  return show ? show(path) : path;
}

// " (path: reason)", " (reason)" or nothing.
std::string reasonSuffix(const PathDisplay& show, const std::string& path, const Status& why) {
  const std::string name = path.empty() ? std::string() : shown(show, path);
  if (why.ok()) return name.empty() ? std::string() : " (" + name + ")";
  const std::string reason = why.reason();
  return " (" + (name.empty() ? reason : name + ": " + reason) + ")";
}

std::string whyNotUndone(const InterruptedJob& job, const PathDisplay& show) {
  switch (job.outcome) {
    case InterruptedJob::Outcome::FileReplaced:
      return "the file was replaced or removed since";
    case InterruptedJob::Outcome::CopyDamaged:
      return "its copy of the old contents is damaged";
    case InterruptedJob::Outcome::RestoreFailed:
      return shown(show, job.why.path()) + ": " + job.why.reason();
    case InterruptedJob::Outcome::Restored:
      break;
  }
  return {};
}

}  // namespace

std::string jobFailureText(const JobReport& report, const PathDisplay& show) {
  std::string text =
      failureSentence(report.failure) + reasonSuffix(show, report.path, report.why);
  if (!report.keptCopy.empty()) {
    text += report.keptContent == KeptCopyContent::SourceData
                ? "\nThe source's data is kept in:\n"
                : "\nThe destination's old contents are kept in:\n";
    text += shown(show, report.keptCopy);
  }
  return text + leftOverText(report, show);
}

std::string attributesLostText(const JobReport& report, const PathDisplay& show) {
  return "The destination's extended attributes could not be kept!" +
         reasonSuffix(show, report.attributesLost.path(), report.attributesLost);
}

std::string leftOverText(const JobReport& report, const PathDisplay& show) {
  if (report.leftOver.ok()) return {};
  return "\nThe job's journal, zeroed, could not be removed:\n" +
         shown(show, report.leftOver.path()) + " (" + report.leftOver.reason() + ")";
}

std::string interruptedJobsText(const std::vector<InterruptedJob>& jobs, const PathDisplay& show) {
  std::vector<std::string> restored;
  std::string notUndone;
  for (const InterruptedJob& job : jobs) {
    if (job.outcome == InterruptedJob::Outcome::Restored) {
      restored.push_back(shown(show, job.file));
      continue;
    }
    if (!notUndone.empty()) notUndone += "\n\n";
    notUndone += "A job that was interrupted could not be undone (" + whyNotUndone(job, show) +
                 "). The old contents of";
    notUndone += job.file.empty() ? std::string(" the file it wrote ")
                                  : "\n" + shown(show, job.file) + "\n";
    notUndone += job.keptCopy.empty() ? std::string("are lost.")
                                      : "are kept in:\n" + shown(show, job.keptCopy);
  }
  std::string text;
  if (restored.size() == 1) {
    text = "A job that was interrupted has been undone. This file has its old contents again:\n" +
           restored.front();
  } else if (!restored.empty()) {
    text = "Jobs that were interrupted have been undone. These files have their old contents again:";
    for (const std::string& file : restored) text += "\n" + file;
  }
  if (!notUndone.empty()) text += (text.empty() ? "" : "\n\n") + notUndone;
  return text;
}

}  // namespace talvek
