// The system temporary directory, where the job keeps its working copies.
#pragma once

#include <string>

namespace talvek {

// $TMPDIR when it names a directory, else "/tmp"; always with a trailing '/',
// so a file name can be appended directly.
std::string tempDirectory();

}  // namespace talvek
