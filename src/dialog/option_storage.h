// Where the dialog keeps its one option, the kind of secret, between runs.
#pragma once

namespace talvek {

class OptionStorage {
 public:
  virtual ~OptionStorage() = default;
  // The option button to check at start: IDC_USE_KEY_FILE or IDC_USE_PASSWORD.
  virtual int loadOptType() = 0;
  // Stores whether the password option is the checked one.
  virtual void saveOptType(bool passwordChecked) = 0;
};

}  // namespace talvek
