// Reads a Morva~Key file into the key text the job is given: the file's text
// in text mode with one LF at its end.
#pragma once

#include <string>

namespace talvek {

// False when the path is not a regular file, cannot be read, or reads as
// fewer than two characters; `keyText` is then not to be used. The file's
// content and extension are not checked, and there is no upper limit but
// memory: the key text takes the file's size plus one byte.
bool readKeyFile(const std::string& path, std::string& keyText);

}  // namespace talvek
