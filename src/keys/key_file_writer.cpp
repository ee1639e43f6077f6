#include "keys/key_file_writer.h"

#include "platform/atomic_file.h"

namespace talvek {

bool writeKeyFile(const std::string& path, const std::string& keyText) {
  // A key is a secret: owner-only, whatever the file it replaces allowed.
  AtomicFile file;
  return file.open(path, 0600, /*keepTargetMode=*/false) &&
         file.write(keyText.data(), keyText.size()) && file.commit();
}

}  // namespace talvek
