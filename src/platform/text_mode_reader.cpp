#include "platform/text_mode_reader.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "platform/file.h"

namespace talvek {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kEndOfFile = '\x1A';
constexpr size_t kBlockSize = 1 << 16;

}  // namespace

bool appendTextModeBytes(const char* data, size_t size, bool& pendingCr, std::string& text) {
  const char* const end = data + size;
  const char* p = data;
  if (pendingCr && p != end) {
    pendingCr = false;
    // A CR is dropped only when a LF follows it.
    if (*p != kLf) text.push_back(kCr);
  }
  while (p != end) {
    // Copy the run up to the next byte that needs a decision in one go.
    const char* stop = p;
    while (stop != end && *stop != kCr && *stop != kEndOfFile) ++stop;
    text.append(p, stop);
    if (stop == end) break;
    if (*stop == kEndOfFile) return false;
    // *stop is CR.
    if (stop + 1 == end) {
      pendingCr = true;
      break;
    }
    if (stop[1] != kLf) text.push_back(kCr);
    p = stop + 1;
  }
  return true;
}

void finishTextModeBytes(bool& pendingCr, std::string& text) {
  if (pendingCr) text.push_back(kCr);
  pendingCr = false;
}

namespace {

bool readAll(File& file, std::string& text) {
  // Room for the whole file and the line feed a key reader adds, taken once:
  // growing by doubling would take up to three times the file's size.
  FileInfo info;
  if (file.info(&info).ok() && info.regular && info.size > 0) {
    text.reserve(static_cast<size_t>(info.size) + 1);
  }
  std::vector<char> block(kBlockSize);
  bool pendingCr = false;
  for (;;) {
    size_t got = 0;
    if (!file.read(block.data(), block.size(), &got).ok()) return false;
    if (got == 0) break;
    if (!appendTextModeBytes(block.data(), got, pendingCr, text)) break;
  }
  finishTextModeBytes(pendingCr, text);
  return true;
}

}  // namespace

bool readTextModeFile(const std::string& path, std::string& text) {
  text.clear();
  File file;
  if (!openAnyForReading(path, &file).ok()) return false;
  bool ok = false;
  try {
    ok = readAll(file, text);
  } catch (const std::bad_alloc&) {
    // A file larger than the memory there is fails like one that cannot be
    // read.
  } catch (const std::length_error&) {
  }
  file.reset();
  if (!ok) {
    text.clear();
    text.shrink_to_fit();
  }
  return ok;
}

}  // namespace talvek
