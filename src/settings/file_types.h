// The shell's entries for the program's two file types, encoded files (.tc)
// and key files (.mk), kept in the store's HKEY_CLASSES_ROOT.
#pragma once

#include <string>

#include "settings/registry_access.h"

namespace talvek {

// The system directory that holds the desktop's opener, with its trailing
// separator; the key-file command names the opener in it.
std::string windowsDirectory();

// Writes the twelve entries, in order: each key is ensured, then its default
// text set where it has one; a step that fails is skipped. programPath is the
// program's first command-line argument as given, relative or not.
void registerFileTypes(RegistryAccess& registry, const std::string& programPath);

}  // namespace talvek
