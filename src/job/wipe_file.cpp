#include "job/wipe_file.h"

#include <algorithm>
#include <memory>

#include "platform/file_status.h"

namespace talvek {
namespace {

constexpr size_t kZeroChunk = size_t{1} << 20;

}  // namespace

bool zeroFileContents(File& file, uint64_t size) {
  static const std::unique_ptr<char[]> zeros(new char[kZeroChunk]());
  bool ok = true;
  for (uint64_t offset = 0; ok && offset < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kZeroChunk, size - offset));
    ok = file.writeAt(offset, zeros.get(), n).ok();
    file.startWriteback(offset, n);
    offset += n;
  }
  // Zeros that are never synced may never leave the page cache.
  return file.sync().ok() && ok;
}

bool wipeFile(const std::string& path, uint16_t passes) {
  FileInfo info;
  if (!infoOfPath(path, /*followLinks=*/false, &info).ok() || !info.regular) return true;
  // Made writable, if it is not, through its own descriptor.
  File file;
  const bool opened = openExistingForWriting(path, &file).ok();
  if (passes > 0 && opened && file.info(&info).ok() && info.size > 0) {
    for (uint16_t pass = 0; pass < passes; ++pass) {
      if (!zeroFileContents(file, info.size)) break;
    }
  }
  return removeFile(path);
}

}  // namespace talvek
