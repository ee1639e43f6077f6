// The shell's entries for the program's two file types, encoded files (.tc)
// and key files (.mk), kept in this user's part of HKEY_CLASSES_ROOT
// (userClassesKey(), shell_classes.h).
#pragma once

#include <string>

#include "settings/registry_access.h"

namespace talvek {

// The system directory that holds the key files' opener, with its trailing
// separator: on Windows the Windows directory (a lone backslash when it
// cannot be had); the key-file command names the opener in it.
std::string windowsDirectory();

// Writes the twelve entries, in order: each key is ensured, then its default
// text set where it has one; a step that fails is skipped. programPath is the
// program's first command-line argument as given, relative or not. Where
// the shell wants to hear of a change (shellWantsNotice) and a default text
// was not already what is written, it is told (announceFileTypes) and the
// result is true.
bool registerFileTypes(RegistryAccess& registry, const std::string& programPath);

}  // namespace talvek
