#include "dialog/job_failure_text.h"

namespace talvek {

namespace {

const char* failureSentence(JobFailure failure) {
  switch (failure) {
    case JobFailure::SourceInvalid:
      return "The source could not be read!";
    case JobFailure::DestinationInvalid:
      return "The destination could not be created!";
    case JobFailure::DestinationExists:
      return "The destination already exists!";
    case JobFailure::EmptyKey:
      return "The key is empty!";
    case JobFailure::WorkingCopy:
      return "The source could not be copied to the temporary directory!";
    case JobFailure::ReadFailed:
      return "The working copy of the source could not be read!";
    case JobFailure::WriteFailed:
      return "The destination could not be written!";
    case JobFailure::None:
      break;
  }
  return "The job failed!";
}

}  // namespace

std::string jobFailureText(const JobReport& report) {
  std::string text = failureSentence(report.failure);
  if (!report.keptWorkingCopy.empty()) {
    text += "\nThe source's data is kept in:\n" + report.keptWorkingCopy;
  }
  return text;
}

}  // namespace talvek
