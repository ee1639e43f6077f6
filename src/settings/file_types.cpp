#include "settings/file_types.h"

#include <optional>

namespace talvek {

namespace {

// Closes a quoted command and passes the file as its one argument.
constexpr const char* kFileArgument = "\" \"%1\"";

struct FileTypeEntry {
  const char* key;
  std::optional<std::string> text;  // the default value, if the key has one
};

void writeEntries(RegistryAccess& registry, std::initializer_list<FileTypeEntry> entries) {
  for (const FileTypeEntry& entry : entries) {
    registry.ensureKey(HKEY_CLASSES_ROOT, entry.key);
    if (entry.text) registry.setDefaultString(HKEY_CLASSES_ROOT, entry.key, *entry.text);
  }
}

}  // namespace

std::string windowsDirectory() {
  return "/usr/bin/";
}

void registerFileTypes(RegistryAccess& registry, const std::string& programPath) {
  const std::string encodedCommand = "\"" + programPath + kFileArgument;
  const std::string encodedIcon = programPath + ",1";
  writeEntries(registry, {
                             {"Talvek", "Talvek Encoded File"},
                             {"Talvek\\shell", std::nullopt},
                             {"Talvek\\shell\\open", "&Decode with Talvek"},
                             {"Talvek\\shell\\open\\command", encodedCommand},
                             {"Talvek\\DefaultIcon", encodedIcon},
                             {".tc", "Talvek"},
                         });

  const std::string keyCommand = "\"" + windowsDirectory() + "xdg-open" + kFileArgument;
  const std::string keyIcon = programPath + ",2";
  writeEntries(registry, {
                             {"Morva.Key", "Key File"},
                             {"Morva.Key\\shell", std::nullopt},
                             {"Morva.Key\\shell\\open", "&Open with Notepad"},
                             {"Morva.Key\\shell\\open\\command", keyCommand},
                             {"Morva.Key\\DefaultIcon", keyIcon},
                             {".mk", "Morva.Key"},
                         });
}

}  // namespace talvek
