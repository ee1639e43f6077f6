#include "keys/key_file_reader.h"

#include "keys/key_file_format.h"
#include "platform/file_status.h"
#include "platform/text_mode_reader.h"

namespace talvek {

bool readKeyFile(const std::string& path, std::string& keyText) {
  keyText.clear();
  if (!isRegularFile(path)) return false;
  // A file that cannot be read counts as empty.
  if (!readTextModeFile(path, keyText) || keyText.size() < static_cast<size_t>(kMinKeyFileLength)) {
    keyText.clear();
    return false;
  }
  // Read line by line, every line gets its LF, the last one included.
  if (keyText.back() != '\n') keyText.push_back('\n');
  return true;
}

}  // namespace talvek
