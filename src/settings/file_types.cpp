#include "settings/file_types.h"

#include <optional>

#include "settings/shell_classes.h"

namespace talvek {

namespace {

// Closes a quoted command and passes the file as its one argument.
constexpr const char* kFileArgument = "\" \"%1\"";

struct FileTypeEntry {
  const char* key;                  // below HKEY_CLASSES_ROOT
  std::optional<std::string> text;  // the default value, if the key has one
};

// Whether the key's default value holds exactly text already.
bool holdsText(RegistryAccess& registry, const ClassesKey& classes, const std::string& key,
               const std::string& text) {
  RegistryType type = REG_NONE;
  std::string data;
  return registry.queryValue(classes.root, key, "", type, data) == kErrorSuccess &&
         type == REG_SZ && data == text + '\0';
}

// True when some default text changed, as far as the shell wants to know.
// A key without a text of its own (a "shell" key) is new only when the key
// below it is, so the texts tell every change.
bool writeEntries(RegistryAccess& registry, std::initializer_list<FileTypeEntry> entries) {
  const ClassesKey classes = userClassesKey();
  const bool watch = shellWantsNotice();
  bool changed = false;
  for (const FileTypeEntry& entry : entries) {
    const std::string key = classes.below(entry.key);
    if (watch && entry.text && !holdsText(registry, classes, key, *entry.text)) changed = true;
    registry.ensureKey(classes.root, key);
    if (entry.text) registry.setDefaultString(classes.root, key, *entry.text);
  }
  return changed;
}

}  // namespace

bool registerFileTypes(RegistryAccess& registry, const std::string& programPath) {
  const std::string encodedCommand = "\"" + programPath + kFileArgument;
  const std::string encodedIcon = programPath + ",1";
  const bool encodedChanged =
      writeEntries(registry, {
                                 {"Talvek", "Talvek Encoded File"},
                                 {"Talvek\\shell", std::nullopt},
                                 {"Talvek\\shell\\open", "&Decode with Talvek"},
                                 {"Talvek\\shell\\open\\command", encodedCommand},
                                 {"Talvek\\DefaultIcon", encodedIcon},
                                 {".tc", "Talvek"},
                             });

  const std::string keyCommand =
      "\"" + windowsDirectory() + std::string(keyFileOpener()) + kFileArgument;
  const std::string keyIcon = programPath + ",2";
  const bool keyChanged =
      writeEntries(registry, {
                                 {"Morva.Key", "Key File"},
                                 {"Morva.Key\\shell", std::nullopt},
                                 {"Morva.Key\\shell\\open", "&Open with Notepad"},
                                 {"Morva.Key\\shell\\open\\command", keyCommand},
                                 {"Morva.Key\\DefaultIcon", keyIcon},
                                 {".mk", "Morva.Key"},
                             });

  const bool changed = encodedChanged || keyChanged;
  if (changed) announceFileTypes(registry);
  return changed;
}

}  // namespace talvek
