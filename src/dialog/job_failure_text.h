// The warning shown after a job that failed: what failed, and where the
// source's bytes are when the job had to keep its working copy.
#pragma once

#include <string>

#include "job/transform_file.h"

namespace talvek {

std::string jobFailureText(const JobReport& report);

}  // namespace talvek
