// What the fuzz targets share: reporting a mismatch as a crash, and a
// private scratch directory for the targets that need files.
#pragma once

#include <string>

namespace talvek::fuzz {

// Prints what differs and aborts, which libFuzzer records as a crash with
// the input that caused it.
[[noreturn]] void mismatch(const std::string& what);

// Aborts with `what` unless `condition` holds.
inline void check(bool condition, const std::string& what) {
  if (!condition) mismatch(what);
}

// A directory of this process's own under $TMPDIR, else on a memory file
// system where there is one (syncs cost nothing there), removed when the
// process exits normally.
const std::string& scratchDirectory();

// Removes everything in the scratch directory.
void clearScratchDirectory();

// Writes bytes to path, replacing it; aborts on failure.
void writeScratchFile(const std::string& path, const std::string& bytes);

// A printable rendering of bytes for messages: escapes, and at most 200 bytes.
std::string quoted(const std::string& bytes);

}  // namespace talvek::fuzz
