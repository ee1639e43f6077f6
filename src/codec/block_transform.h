// Encodes or decodes whole buffers with a prepared key text, giving exactly
// the bytes of encodeByte/decodeByte applied one byte at a time. The key
// position continues from buffer to buffer and wraps at the prepared length.
// Lengths and positions are 64-bit: a key of any length a file can hold has
// its own period, never one cut to 32 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvek {

// The instruction sets a BlockTransform can run on. Portable works
// everywhere; Sse2 and Avx2 exist on x86-64 builds only.
enum class CodePath { Portable, Sse2, Avx2 };

// Whether this build and this processor can run `path`.
bool codePathSupported(CodePath path);
// The fastest supported path.
CodePath bestCodePath();
// "portable", "sse2" or "avx2".
const char* codePathName(CodePath path);

// The key position `count` bytes after `position` for a key of `period`
// characters (period > 0): (position + count) mod period, without overflow
// for any 64-bit values.
uint64_t advanceKeyPosition(uint64_t position, uint64_t count, uint64_t period);

class BlockTransform {
 public:
  // preparedKey is the result of prepareKeyText: even length, at least 2.
  // Runs on bestCodePath().
  BlockTransform(const std::string& preparedKey, bool encode);
  // Runs on `path` when supported, otherwise on CodePath::Portable.
  BlockTransform(const std::string& preparedKey, bool encode, CodePath path);

  // The prepared length n: key positions run from 0 to n - 1. An empty key
  // gives 0, and apply() then leaves data unchanged.
  uint64_t period() const { return period_; }

  // The path apply() runs on.
  CodePath codePath() const { return path_; }

  // Transforms data[0, size) in place; data[0] has key position `position`
  // (taken mod n), so a file offset will do. Returns the key position of the
  // byte after the last, 0 to n - 1.
  uint64_t apply(uint8_t* data, size_t size, uint64_t position) const;

 private:
  uint64_t period_ = 0;
  // A multiple of period_, at least kMinSpan, so that a vector step never
  // advances past more than one wrap of the schedule.
  size_t span_ = 0;
  CodePath path_ = CodePath::Portable;
  // The rotation amount for key position x mod period_, for x in
  // [0, span_ + kPad), so that loads at any index below span_ are contiguous.
  // Each byte is in the form the chosen path's loop takes (block_kernels.h).
  std::vector<uint8_t> schedule_;
};

}  // namespace talvek
