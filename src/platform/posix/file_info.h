// What a struct stat says, in the portable form.
#pragma once

#include <sys/stat.h>

#include "platform/file.h"

namespace talvek {

FileInfo fileInfoOf(const struct stat& st);

}  // namespace talvek
