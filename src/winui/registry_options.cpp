#include "winui/registry_options.h"

#include "dialog/resource_ids.h"
#include "settings/options_store.h"

namespace talvek {

int RegistryOptions::loadOptType() {
  return store_.loadOptType() == kOptKeyFile ? IDC_USE_KEY_FILE : IDC_USE_PASSWORD;
}

void RegistryOptions::saveOptType(bool passwordChecked) {
  store_.saveOptType(passwordChecked);
}

}  // namespace talvek
