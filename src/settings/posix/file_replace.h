// Writing a file only when its content changes, and never half-written.
#pragma once

#include <string>
#include <string_view>

namespace talvek {

enum class ReplaceOutcome { Unchanged, Written, Failed };

// Leaves path alone when it already holds exactly content. Otherwise writes
// a synced file beside it and renames it over path, so readers see the old
// or the new file, never a part; missing directories are created. The file
// gets mode 0644 less the umask.
ReplaceOutcome replaceFileIfDifferent(const std::string& path, std::string_view content);

// mkdir -p with mode 0755 (less the umask); true when dir exists afterwards.
bool makeDirectories(const std::string& dir);

}  // namespace talvek
