#include "dialog/job_failure_text.h"

#include "platform/error_text.h"

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
      return "The destination's old contents could not be copied to the temporary directory!";
    case JobFailure::ReadFailed:
      return "The source could not be read!";
    case JobFailure::WriteFailed:
      return "The destination could not be written!";
    case JobFailure::SourceChanged:
      return "The source changed while it was read!";
    case JobFailure::Stopped:
      return "The job was stopped!";
    case JobFailure::None:
      break;
  }
  return "The job failed!";
}

// " (path: reason)", " (reason)" or nothing.
std::string reasonSuffix(const std::string& path, int error) {
  if (error == 0) return path.empty() ? std::string() : " (" + path + ")";
  const std::string reason = systemErrorText(error);
  return " (" + (path.empty() ? reason : path + ": " + reason) + ")";
}

}  // namespace

std::string jobFailureText(const JobReport& report) {
  std::string text = failureSentence(report.failure) + reasonSuffix(report.path, report.error);
  if (!report.keptCopy.empty()) {
    text += report.keptContent == KeptCopyContent::SourceData
                ? "\nThe source's data is kept in:\n"
                : "\nThe destination's old contents are kept in:\n";
    text += report.keptCopy;
  }
  return text;
}

std::string attributesLostText(const JobReport& report) {
  return "The destination's extended attributes could not be kept!" +
         reasonSuffix(report.path, report.attributesError);
}

}  // namespace talvek
