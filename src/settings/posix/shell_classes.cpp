// The file types in the store's HKEY_CLASSES_ROOT. The desktop reads its own
// copy of the association (desktop_export.h), which the options store writes
// beside these entries, so there is nobody to tell.
#include "settings/shell_classes.h"

#include "settings/file_types.h"

namespace talvek {

ClassesKey userClassesKey() {
  return {HKEY_CLASSES_ROOT, ""};
}

std::string windowsDirectory() {
  return "/usr/bin/";
}

std::string_view keyFileOpener() {
  return "xdg-open";
}

bool shellWantsNotice() {
  return false;
}

void announceFileTypes(const RegistryAccess&) {}

}  // namespace talvek
