// The one setting the program keeps between runs, which kind of secret was
// chosen last, and the refresh of the program's keys and file types that
// goes with every read and write of it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "settings/registry_access.h"

namespace talvek {

inline constexpr char CompanyKeyPath[] = "Software\\Brellam";
inline constexpr char ProductKeyPath[] = "Software\\Brellam\\Talvek";
// REG_DWORD under HKEY_CURRENT_USER\ProductKeyPath: the identifier of the
// option button that was checked.
inline constexpr char kOptTypeValueName[] = "optType";

// What a dialog's start or close may wait in all for a store that another
// instance keeps locked; then it goes on without the store, as it does when
// the store fails in any other way.
inline constexpr std::chrono::milliseconds kStoreWaitPerStartOrClose{1000};

// The identifiers of the two option buttons, as stored.
inline constexpr int kOptPassword = 1009;  // IDC_USE_PASSWORD
inline constexpr int kOptKeyFile = 1010;   // IDC_USE_KEY_FILE

class OptionsStore {
 public:
  // programPath: the first command-line argument as given, for the shell
  // entries. desktopAssociation: runs after them at every registration, for
  // a desktop that keeps an association of its own (on Linux,
  // exportDesktopAssociation in posix/desktop_export.h); none by default.
  OptionsStore(RegistryAccess& registry, std::string programPath,
               std::function<void()> desktopAssociation = {});

  // Creates, if missing, Software\Brellam and Software\Brellam\Talvek under
  // HKEY_LOCAL_MACHINE, then under HKEY_CURRENT_USER; failures are ignored.
  void ensureProgramKeys();

  // The twelve shell entries, then the desktop's own association.
  void registerFileTypes();

  // Refreshes keys and file types, then gives kOptKeyFile if exactly that is
  // stored, else kOptPassword (nothing stored, another type or number, a
  // damaged or locked store). Each of the two waits at most
  // kStoreWaitPerStartOrClose in all for a locked store; once that is spent,
  // the rest of it goes without the store.
  int loadOptType();

  // Refreshes keys and file types, then stores kOptPassword if the password
  // option is checked, else kOptKeyFile. Failures are ignored.
  void saveOptType(bool passwordChecked);

 private:
  RegistryAccess& registry_;
  std::string programPath_;
  std::function<void()> desktopAssociation_;
};

}  // namespace talvek
