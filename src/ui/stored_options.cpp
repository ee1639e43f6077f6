#include "ui/stored_options.h"

#include "dialog/resource_ids.h"
#include "settings/options_store.h"

namespace talvek {

int StoredOptions::loadOptType() {
  return store_.loadOptType() == kOptKeyFile ? IDC_USE_KEY_FILE : IDC_USE_PASSWORD;
}

void StoredOptions::saveOptType(bool passwordChecked) {
  store_.saveOptType(passwordChecked);
}

}  // namespace talvek
