// The key-file reader against a byte-at-a-time model of text-mode reading:
// CR LF reads as LF, the first 0x1A ends the file, one LF is added at the end
// unless there is one, fewer than two characters are refused. The file is
// placed so that its interesting bytes can fall on the reader's block edges,
// and the piecewise translation is fed the same bytes in random pieces.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "keys/key_file_reader.h"
#include "platform/text_mode_reader.h"

namespace {

// The reader's block size: bytes placed just before a multiple of it end up
// on both sides of a block edge.
constexpr size_t kBlock = 1 << 16;

// Text mode one byte at a time, as the original's runtime reads.
std::string modelText(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\x1A') break;
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(bytes[i]);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using talvek::fuzz::check;
  using talvek::fuzz::quoted;
  FuzzedDataProvider input(data, size);
  // Filler without CR, LF or 0x1A, so that it reads as itself.
  const size_t blocks = input.ConsumeIntegralInRange<size_t>(0, 2);
  const size_t before = input.ConsumeIntegralInRange<size_t>(0, 8);
  const size_t filler = blocks == 0 ? 0 : blocks * kBlock - before;
  std::vector<size_t> pieces;
  for (int i = input.ConsumeIntegralInRange<int>(0, 8); i > 0; --i) {
    pieces.push_back(input.ConsumeIntegralInRange<size_t>(0, 64));
  }
  const std::string bytes = std::string(filler, 'k') + input.ConsumeRemainingBytesAsString();
  const std::string text = modelText(bytes);

  // The whole reader, from a file.
  const std::string path = talvek::fuzz::scratchDirectory() + "/key.mk";
  talvek::fuzz::writeScratchFile(path, bytes);
  std::string key = "stale";
  const bool accepted = talvek::readKeyFile(path, key);
  const std::string what =
      " for " + quoted(bytes.substr(filler)) + " after " + std::to_string(filler) + " filler bytes";
  if (text.size() < 2) {
    check(!accepted, "accepted a key of fewer than two characters" + what);
  } else {
    check(accepted, "refused a key of " + std::to_string(text.size()) + " characters" + what);
    const std::string expected = text.back() == '\n' ? text : text + "\n";
    check(key == expected, "key " + quoted(key) + " instead of " + quoted(expected) + what);
  }

  // The piecewise translation, in the chosen pieces and then the rest.
  std::string pieced;
  bool pendingCr = false;
  size_t done = 0;
  bool ended = false;
  pieces.push_back(bytes.size());
  for (size_t piece : pieces) {
    const size_t length = piece < bytes.size() - done ? piece : bytes.size() - done;
    ended = !talvek::appendTextModeBytes(bytes.data() + done, length, pendingCr, pieced);
    done += length;
    if (ended) break;
  }
  if (!ended) talvek::finishTextModeBytes(pendingCr, pieced);
  check(pieced == text, "pieces read as " + quoted(pieced) + " instead of " + quoted(text) + what);
  return 0;
}
