// The desktop's own copy of the file-type association: a shared-mime-info
// package for .tc and .mk, a desktop entry that opens encoded files with the
// program, and the icons in the hicolor theme, all under the user's XDG data
// directory. An installed Talvek's entry takes precedence over the per-user
// one.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "settings/posix/theme_icons.h"

namespace talvek {

// The desktop file ID, installed and per user alike, so that the desktop
// matches the window to its entry and a per-user entry stands in for an
// installed one.
inline constexpr char kDesktopFileId[] = "com.brellam.Talvek";

struct DesktopExport {
  // The XDG data directory to write under; empty leaves the desktop alone.
  std::string dataHome;
  // The running program's absolute path, for the desktop entry's command;
  // the entry is left out when it is not absolute UTF-8.
  std::string executablePath;
  std::span<const ThemeIcon> icons;
  // Run update-mime-database and update-desktop-database after a change.
  bool refreshDatabases = true;
  // The system's data directories in the desktop's order: an entry under
  // applications/ there whose program exists is an installed Talvek's.
  std::vector<std::string> dataDirs;
  // Where an installed entry's command is looked up when it names no path.
  std::vector<std::string> searchPath;
};

// The export for this user and this program: dataHome(), executablePath(),
// the built-in icons, dataDirs() and $PATH.
DesktopExport defaultDesktopExport();

struct DesktopExportResult {
  bool complete = true;  // every file is in place
  bool changed = false;  // some file was written
};

// Writes each file whose content differs, never any other application's
// files, then refreshes the databases whose sources changed. When an
// installed Talvek has its entry, whichever program runs writes no per-user
// entry and removes one that it wrote earlier: double-click then stays with
// the installed program. Best effort: a failed file is skipped, and nothing
// is reported beyond the result.
DesktopExportResult exportDesktopAssociation(const DesktopExport& target);

// The installed entry that a per-user one would hide: the first
// applications/<kDesktopFileId>.desktop in target.dataDirs (leaving out
// target.dataHome), provided the program it starts exists; else "".
std::string installedDesktopEntry(const DesktopExport& target);

// Whether a desktop entry's text is one this program wrote for its user, by
// the marker it carries or, for earlier versions, by its exact form.
bool isOwnDesktopEntry(const std::string& text);

// The contents written, exposed for checking them.
std::string mimePackageXml();
std::string desktopEntry(const std::string& executablePath);
// One argument of a desktop entry's Exec key, quoted and escaped where needed.
std::string desktopExecArgument(const std::string& argument);

}  // namespace talvek
