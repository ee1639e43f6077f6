// Writes a Morva~Key file so that a failure never leaves half a key and
// never destroys the key that was there before.
#pragma once

#include <string>

namespace talvek {

// Replaces (or creates) the file at path with exactly `keyText`, mode 0600.
// False when any step fails; the old file is then untouched.
bool writeKeyFile(const std::string& path, const std::string& keyText);

}  // namespace talvek
