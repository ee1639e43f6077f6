// Encodes or decodes whole buffers with a prepared key text, giving exactly
// the bytes of encodeByte/decodeByte applied one byte at a time. The key
// position continues from buffer to buffer and wraps at the prepared length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvek {

class BlockTransform {
 public:
  // preparedKey is the result of prepareKeyText: even length, at least 2.
  BlockTransform(const std::string& preparedKey, bool encode);

  // The prepared length n: key positions run from 0 to n - 1.
  uint32_t period() const { return static_cast<uint32_t>(schedule_.size()); }

  // Transforms data[0, size) in place; data[0] has key position `position`
  // (taken mod n). Returns the key position of the byte after the last.
  uint32_t apply(uint8_t* data, size_t size, uint32_t position) const;

 private:
  // Left-rotation amount 0..7 for each key position.
  std::vector<uint8_t> schedule_;
};

}  // namespace talvek
