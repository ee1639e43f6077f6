// The desktop's own copy of the file-type association: a shared-mime-info
// package for .tc and .mk, a desktop entry that opens encoded files with the
// program, and the icons in the hicolor theme, all under the user's XDG data
// directory.
#pragma once

#include <span>
#include <string>

#include "settings/theme_icons.h"

namespace talvek {

struct DesktopExport {
  // The XDG data directory to write under; empty leaves the desktop alone.
  std::string dataHome;
  // The running program's absolute path, for the desktop entry's command;
  // the entry is left out when it is not absolute UTF-8.
  std::string executablePath;
  std::span<const ThemeIcon> icons;
  // Run update-mime-database and update-desktop-database after a change.
  bool refreshDatabases = true;
};

// The export for this user and this program: dataHome(), executablePath(),
// the built-in icons.
DesktopExport defaultDesktopExport();

struct DesktopExportResult {
  bool complete = true;  // every file is in place
  bool changed = false;  // some file was written
};

// Writes each file whose content differs, never any other application's
// files, then refreshes the databases whose sources changed. Best effort:
// a failed file is skipped, and nothing is reported beyond the result.
DesktopExportResult exportDesktopAssociation(const DesktopExport& target);

// The contents written, exposed for checking them.
std::string mimePackageXml();
std::string desktopEntry(const std::string& executablePath);
// One argument of a desktop entry's Exec key, quoted and escaped where needed.
std::string desktopExecArgument(const std::string& argument);

}  // namespace talvek
