#include "codec/block_transform.h"

#include "codec/block_kernels.h"
#include "codec/byte_transform.h"

namespace talvek {

bool codePathSupported(CodePath path) {
  switch (path) {
    case CodePath::Portable:
      return true;
#if defined(TALVEK_CODEC_X86)
    case CodePath::Sse2:
      return true;  // part of the x86-64 baseline
    case CodePath::Avx2:
      __builtin_cpu_init();  // in case this runs before the runtime's own set-up
      return __builtin_cpu_supports("avx2");
#else
    case CodePath::Sse2:
    case CodePath::Avx2:
      return false;
#endif
  }
  return false;
}

CodePath bestCodePath() {
  // Probed once: the answer cannot change while the process runs.
  static const CodePath best = codePathSupported(CodePath::Avx2)   ? CodePath::Avx2
                               : codePathSupported(CodePath::Sse2) ? CodePath::Sse2
                                                                   : CodePath::Portable;
  return best;
}

const char* codePathName(CodePath path) {
  switch (path) {
    case CodePath::Portable:
      return "portable";
    case CodePath::Sse2:
      return "sse2";
    case CodePath::Avx2:
      return "avx2";
  }
  return "unknown";
}

uint64_t advanceKeyPosition(uint64_t position, uint64_t count, uint64_t period) {
  const uint64_t start = position % period;
  const uint64_t step = count % period;
  // start + step may not fit in 64 bits; it wraps at most once.
  return start >= period - step ? start - (period - step) : start + step;
}

BlockTransform::BlockTransform(const std::string& preparedKey, bool encode)
    : BlockTransform(preparedKey, encode, bestCodePath()) {}

BlockTransform::BlockTransform(const std::string& preparedKey, bool encode, CodePath path)
    : period_(preparedKey.size()), path_(codePathSupported(path) ? path : CodePath::Portable) {
  if (period_ == 0) return;
  const size_t n = period_;
  span_ = n >= kernels::kMinSpan ? n : (kernels::kMinSpan + n - 1) / n * n;

  uint8_t amounts[256];
  for (int k = 0; k < 256; ++k)
    amounts[k] = static_cast<uint8_t>(netRotation(static_cast<int8_t>(k)));

  schedule_.resize(span_ + kernels::kPad);
  for (size_t k = 0; k < n; ++k) {
    // Only the key position mod 8 matters, so k stands for position k.
    const unsigned left = (amounts[static_cast<uint8_t>(preparedKey[k])] + k) & 7u;
    const unsigned amount = encode ? left : (8u - left) & 7u;
    schedule_[k] = path_ == CodePath::Portable ? kernels::portableScheduleByte(amount)
                                               : kernels::vectorScheduleByte(amount);
  }
  for (size_t x = n; x < schedule_.size(); ++x) schedule_[x] = schedule_[x - n];
}

uint64_t BlockTransform::apply(uint8_t* data, size_t size, uint64_t position) const {
  if (period_ == 0) return 0;
  const size_t start = position % period_;
  if (size != 0) {
    const uint8_t* schedule = schedule_.data();
    switch (path_) {
#if defined(TALVEK_CODEC_X86)
      case CodePath::Avx2:
        kernels::rotateAvx2(schedule, span_, start, data, size);
        break;
      case CodePath::Sse2:
        kernels::rotateSse2(schedule, span_, start, data, size);
        break;
#endif
      default:
        kernels::rotatePortable(schedule, span_, start, data, size);
        break;
    }
  }
  return advanceKeyPosition(start, size, period_);
}

}  // namespace talvek
