#include "job/working_copy.h"

#include <cstdint>
#include <ctime>

#include "platform/atomic_file.h"
#include "platform/c_random.h"
#include "platform/file.h"
#include "platform/file_status.h"
#include "platform/temp_directory.h"

namespace talvek {
namespace {

constexpr uint8_t kDefaultNameLength = 8;
constexpr uint8_t kDefaultExtensionLength = 3;

bool seeded = false;

void appendLetters(std::string& text, uint8_t count) {
  for (uint8_t i = 0; i < count; ++i) text += static_cast<char>('a' + randomBelow(26));
}

}  // namespace

int randomBelow(int n) {
  if (!seeded) {
    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
    seeded = true;
  }
  return nextRandom() % n;
}

std::string randomFileName(uint8_t nameLength, uint8_t extensionLength) {
  if (nameLength == 0) nameLength = kDefaultNameLength;
  if (extensionLength == 0) extensionLength = kDefaultExtensionLength;
  std::string name;
  name.reserve(nameLength + 1u + extensionLength);
  appendLetters(name, nameLength);
  name += '.';
  appendLetters(name, extensionLength);
  return name;
}

std::string makeTempFilePath(uint8_t nameLength, uint8_t extensionLength) {
  std::string candidate = tempDirectory() + randomFileName(nameLength, extensionLength);
  FileInfo info;
  while (infoOfPath(candidate, /*followLinks=*/false, &info).ok()) {
    candidate = tempDirectory() + randomFileName(nameLength, extensionLength);
  }
  return candidate;
}

bool copyFileContents(const std::string& source, const std::string& destination, bool overwrite) {
  if (!isRegularFile(source)) return false;
  if (sameFile(source, destination)) return true;
  if (isRegularFile(destination) && !overwrite) return false;

  File in;
  if (!openForReading(source, &in).ok()) return false;
  uint64_t copied = 0;
  if (overwrite) {
    AtomicFile out;
    if (!out.open(destination).ok()) return false;
    // Abandoned on the way out when the copy fails.
    if (!copyFileData(in, out.file(), UINT64_MAX, {}, &copied).ok()) return false;
    return out.commit().ok();
  }
  File out;
  if (!createNewFile(destination, 0600, &out).ok()) return false;
  if (copyFileData(in, out, UINT64_MAX, {}, &copied).ok() && out.close().ok()) return true;
  out.reset();
  (void)removeFile(destination);
  return false;
}

}  // namespace talvek
