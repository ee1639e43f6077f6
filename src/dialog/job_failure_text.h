// The warnings shown after a job: what failed and why, where the old bytes
// are when the job had to keep them, extended attributes that a successful
// replacement could not carry over, a journal left behind, and the jobs a
// start found interrupted and undid.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "job/interrupted_jobs.h"
#include "job/transform_file.h"

namespace talvek {

// How a path is written into a message (WindowSystem::displayPath); the
// path itself when empty.
using PathDisplay = std::function<std::string(const std::string& path)>;

// E.g. "The destination could not be written! (/home/u/a.tc: No space left
// on device)", followed by the kept copy's path when there is one.
std::string jobFailureText(const JobReport& report, const PathDisplay& show = {});

// For a job that succeeded with report.attributesLost set.
std::string attributesLostText(const JobReport& report, const PathDisplay& show = {});

// For a job, successful or not, with report.leftOver set; starts with a
// line break so it can follow either.
std::string leftOverText(const JobReport& report, const PathDisplay& show = {});

// One message for everything recoverInterruptedJobs did, or "" for nothing.
std::string interruptedJobsText(const std::vector<InterruptedJob>& jobs,
                                const PathDisplay& show = {});

}  // namespace talvek
