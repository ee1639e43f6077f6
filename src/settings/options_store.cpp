#include "settings/options_store.h"

#include <cstdint>

#include "settings/file_types.h"

namespace talvek {

OptionsStore::OptionsStore(RegistryAccess& registry, std::string programPath,
                           std::function<void()> desktopAssociation)
    : registry_(registry),
      programPath_(std::move(programPath)),
      desktopAssociation_(std::move(desktopAssociation)) {}

void OptionsStore::ensureProgramKeys() {
  registry_.ensureKey(HKEY_LOCAL_MACHINE, CompanyKeyPath);
  registry_.ensureKey(HKEY_LOCAL_MACHINE, ProductKeyPath);
  registry_.ensureKey(HKEY_CURRENT_USER, CompanyKeyPath);
  registry_.ensureKey(HKEY_CURRENT_USER, ProductKeyPath);
}

void OptionsStore::registerFileTypes() {
  talvek::registerFileTypes(registry_, programPath_);
  if (desktopAssociation_) desktopAssociation_();
}

int OptionsStore::loadOptType() {
  registry_.limitWaiting(kStoreWaitPerStartOrClose);
  ensureProgramKeys();
  registerFileTypes();
  std::uint32_t stored = 0;
  if (registry_.readDword(HKEY_CURRENT_USER, ProductKeyPath, kOptTypeValueName, stored) ==
          kErrorSuccess &&
      stored == static_cast<std::uint32_t>(kOptKeyFile)) {
    return kOptKeyFile;
  }
  return kOptPassword;
}

void OptionsStore::saveOptType(bool passwordChecked) {
  registry_.limitWaiting(kStoreWaitPerStartOrClose);
  ensureProgramKeys();
  registerFileTypes();
  registry_.writeDword(HKEY_CURRENT_USER, ProductKeyPath, kOptTypeValueName,
                       static_cast<std::uint32_t>(passwordChecked ? kOptPassword : kOptKeyFile));
}

}  // namespace talvek
