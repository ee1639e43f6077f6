// The system's side of the file types: where this user's entries go, which
// program opens key files, and how the shell learns that they changed.
#pragma once

#include <string>
#include <string_view>

#include "settings/registry_access.h"

namespace talvek {

// The key that stands for HKEY_CLASSES_ROOT where this user's entries are
// written: on Windows HKEY_CURRENT_USER\Software\Classes, the user's own
// part of it, which a user who is no administrator may write and which the
// shell reads through HKEY_CLASSES_ROOT; elsewhere the store's
// HKEY_CLASSES_ROOT itself.
struct ClassesKey {
  RegistryRoot root;
  std::string_view path;  // "" for the root itself

  // The key that holds what HKEY_CLASSES_ROOT\<key> shows.
  std::string below(std::string_view key) const {
    return path.empty() ? std::string(key) : std::string(path) + "\\" + std::string(key);
  }
};

ClassesKey userClassesKey();

// The program that opens key files, in the directory windowsDirectory()
// gives: Notepad on Windows, the desktop's opener elsewhere.
std::string_view keyFileOpener();

// Whether the shell is to hear of a change to the entries (on Windows);
// where it is not, the entries are not read first to find one.
bool shellWantsNotice();

// Tells the shell that file associations changed, so that it shows the new
// names, verbs and icons at once. Only a store the shell reads is worth it:
// the Windows registry itself, not a test's stand-in for it.
void announceFileTypes(const RegistryAccess& registry);

}  // namespace talvek
