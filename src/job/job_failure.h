// Filling a job's report when it fails: what failed, in which call, on which
// path, with which errno.
#pragma once

#include <string>

#include "job/transform_file.h"

namespace talvek {

// The report a job fills: the caller's, or `local` when the caller wants
// none; either way cleared first.
inline JobReport& freshReport(JobReport* report, JobReport& local) {
  JobReport& result = report != nullptr ? *report : local;
  result = JobReport{};
  return result;
}

// Sets the failure and its detail and returns false, for `return failJob(...)`.
inline bool failJob(JobReport& report, JobFailure failure, const char* operation = "",
                    std::string path = {}, int error = 0) {
  report.failure = failure;
  report.operation = operation;
  report.path = std::move(path);
  report.error = error;
  return false;
}

}  // namespace talvek
