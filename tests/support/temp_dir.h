// A private directory under the system temporary directory for one test,
// removed with everything in it when the object goes away.
#pragma once

#include <optional>
#include <string>

#include "directory_entries.h"

namespace talvek::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing '/'.
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// Points an environment variable that names a directory at `path` (made if
// missing) for the object's life; the old value, or none, comes back after.
class DirectoryVariableOverride {
 public:
  DirectoryVariableOverride(const char* name, const std::string& path);
  ~DirectoryVariableOverride();
  DirectoryVariableOverride(const DirectoryVariableOverride&) = delete;
  DirectoryVariableOverride& operator=(const DirectoryVariableOverride&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

#ifdef _WIN32
inline constexpr char kTempVariable[] = "TMP";
inline constexpr char kStateHomeVariable[] = "LOCALAPPDATA";
#else
inline constexpr char kTempVariable[] = "TMPDIR";
inline constexpr char kStateHomeVariable[] = "XDG_STATE_HOME";
#endif

// TMPDIR (TMP on Windows), where jobs keep their temporary files.
class TmpdirOverride : public DirectoryVariableOverride {
 public:
  explicit TmpdirOverride(const std::string& path)
      : DirectoryVariableOverride(kTempVariable, path) {}
};

// XDG_STATE_HOME (LOCALAPPDATA on Windows), under which jobs keep their
// journals and every start looks for the journals of interrupted jobs.
class StateHomeOverride : public DirectoryVariableOverride {
 public:
  explicit StateHomeOverride(const std::string& path)
      : DirectoryVariableOverride(kStateHomeVariable, path) {}
};

// Writes bytes to a file, replacing it; fails the current test on error.
void writeFile(const std::string& path, const std::string& bytes);
// Reads a whole file; fails the current test and returns "" on error.
std::string readFile(const std::string& path);
// Whether the path exists in any form (dangling links included).
bool pathExists(const std::string& path);

}  // namespace talvek::test
