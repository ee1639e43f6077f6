#include "keys/key_file_writer.h"

#include "platform/atomic_file.h"

namespace talvek {

bool writeKeyFile(const std::string& path, const std::string& keyText) {
  // A key is a secret: owner-only, whatever the file it replaces allowed.
  // The user was asked about the file that was there: a file that took its
  // place meanwhile is not replaced unasked.
  AtomicFile::Options options;
  options.newFileMode = 0600;
  options.keepTargetMetadata = false;
  options.onlyTheFileChecked = true;
  AtomicFile file;
  return file.open(path, options).ok() && file.write(keyText.data(), keyText.size()).ok() &&
         file.commit().ok();
}

}  // namespace talvek
