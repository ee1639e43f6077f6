// Syncing directories and reading the umask, for the platform's POSIX calls.
#pragma once

#include <sys/types.h>

namespace talvek {

// Syncs the directory behind a handle (O_PATH handles included).
bool syncDirectory(int directory);

// The process's file-mode creation mask, read without changing it.
mode_t currentUmask();

}  // namespace talvek
