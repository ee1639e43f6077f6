// Lets the dialog keep its option in the settings store.
#pragma once

#include "dialog/option_storage.h"

namespace talvek {

class OptionsStore;

class StoredOptions : public OptionStorage {
 public:
  explicit StoredOptions(OptionsStore& store) : store_(store) {}

  int loadOptType() override;
  void saveOptType(bool passwordChecked) override;

 private:
  OptionsStore& store_;
};

}  // namespace talvek
