// Disposal of files that held a plain copy of the user's data: the bytes are
// overwritten with zeros and synced before the file is removed.
//
// This is best effort. Journaling and copy-on-write file systems, snapshots
// and SSDs (which remap blocks) may keep the old bytes elsewhere on the device.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file.h"

namespace talvek {

// Overwrites a regular file in place with zeros `passes` times (without
// truncating, so the file's own blocks are written), syncs it and removes it.
// True when path was not a regular file to begin with (nothing is changed; a
// symbolic link counts as not regular and is left alone) or when the removal
// succeeded; false when the removal failed.
bool wipeFile(const std::string& path, uint16_t passes);

// Writes size zero bytes from offset 0 of an open file and syncs it.
bool zeroFileContents(File& file, uint64_t size);

}  // namespace talvek
