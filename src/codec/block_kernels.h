// The loops behind BlockTransform::apply, one per code path. Internal to the
// codec.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvek::kernels {

// Every schedule holds kPad entries past its span that repeat its start, so
// a vector load at any index below the span stays inside it.
constexpr size_t kPad = 64;
// The smallest span; at least the widest step, so one subtraction wraps.
constexpr size_t kMinSpan = 4096;

// Each loop rotates data[i] left by the amount in schedule[(index + i)
// wrapped at span] for i in [0, size); index < span. The schedule byte of an
// amount differs by loop: see portableScheduleByte and vectorScheduleByte.

// The amount's bits from the top bit down, to be taken one at a time.
constexpr uint8_t portableScheduleByte(unsigned amount) {
  return static_cast<uint8_t>(amount << 5);
}
// The multiplier that rotates by the amount.
constexpr uint8_t vectorScheduleByte(unsigned amount) {
  return static_cast<uint8_t>(1u << amount);
}

void rotatePortable(const uint8_t* schedule, size_t span, size_t index, uint8_t* data, size_t size);

// TALVEK_CODEC_PORTABLE_ONLY builds the portable loop alone, as on other
// processors.
#if defined(__x86_64__) && !defined(TALVEK_CODEC_PORTABLE_ONLY)
#define TALVEK_CODEC_X86 1
void rotateSse2(const uint8_t* schedule, size_t span, size_t index, uint8_t* data, size_t size);
void rotateAvx2(const uint8_t* schedule, size_t span, size_t index, uint8_t* data, size_t size);
#endif

}  // namespace talvek::kernels
