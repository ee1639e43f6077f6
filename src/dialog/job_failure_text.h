// The warnings shown after a job: what failed and why, where the old bytes
// are when the job had to keep its working copy, and extended attributes
// that a successful replacement could not carry over.
#pragma once

#include <string>

#include "job/transform_file.h"

namespace talvek {

// E.g. "The destination could not be written! (/home/u/a.tc: No space left
// on device)", followed by the kept copy's path when there is one.
std::string jobFailureText(const JobReport& report);

// For a job that succeeded with report.attributesError set.
std::string attributesLostText(const JobReport& report);

}  // namespace talvek
