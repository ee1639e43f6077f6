#include "codec/block_transform.h"

#include "codec/byte_transform.h"

namespace talvek {

BlockTransform::BlockTransform(const std::string& preparedKey, bool encode) {
  schedule_.resize(preparedKey.size());
  for (size_t k = 0; k < preparedKey.size(); ++k) {
    const unsigned left = (netRotation(static_cast<int8_t>(preparedKey[k])) + k) & 7u;
    schedule_[k] = static_cast<uint8_t>(encode ? left : (8u - left) & 7u);
  }
}

uint32_t BlockTransform::apply(uint8_t* data, size_t size, uint32_t position) const {
  const size_t n = schedule_.size();
  size_t p = position % n;
  for (size_t i = 0; i < size; ++i) {
    data[i] = rotateLeft(data[i], schedule_[p]);
    if (++p == n) p = 0;
  }
  return static_cast<uint32_t>(p);
}

}  // namespace talvek
