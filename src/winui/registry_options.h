// Lets the dialog keep its option in the registry, through the options store.
#pragma once

#include "dialog/option_storage.h"

namespace talvek {

class OptionsStore;

class RegistryOptions : public OptionStorage {
 public:
  explicit RegistryOptions(OptionsStore& store) : store_(store) {}

  int loadOptType() override;
  void saveOptType(bool passwordChecked) override;

 private:
  OptionsStore& store_;
};

}  // namespace talvek
