// The x86-64 loops: SSE2 (always present) and AVX2 (chosen at run time).
#include "codec/block_kernels.h"

#if defined(TALVEK_CODEC_X86)

#include <immintrin.h>

#include <cstring>

namespace talvek::kernels {
namespace {

// Each step rotates a vector of bytes by the amounts in a vector of schedule
// bytes: bit 7 of a schedule byte asks for 4 places, bit 6 for 2, bit 5 for
// 1. Every stage rotates all bytes and keeps the rotated ones whose bit is
// set, so there are no branches on the data or the key.

__m128i stepSse2(__m128i x, __m128i s) {
  const __m128i zero = _mm_setzero_si128();
  __m128i mask = _mm_cmpgt_epi8(zero, s);  // bit 7 set: negative as signed
  __m128i r = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(x, 4), _mm_set1_epi8(char(0xF0))),
                           _mm_and_si128(_mm_srli_epi16(x, 4), _mm_set1_epi8(0x0F)));
  x = _mm_xor_si128(x, _mm_and_si128(_mm_xor_si128(x, r), mask));

  s = _mm_add_epi8(s, s);
  mask = _mm_cmpgt_epi8(zero, s);
  r = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(x, 2), _mm_set1_epi8(char(0xFC))),
                   _mm_and_si128(_mm_srli_epi16(x, 6), _mm_set1_epi8(0x03)));
  x = _mm_xor_si128(x, _mm_and_si128(_mm_xor_si128(x, r), mask));

  s = _mm_add_epi8(s, s);
  mask = _mm_cmpgt_epi8(zero, s);
  // x + x shifts each byte left; subtracting -1 where the top bit was set
  // brings that bit round to bit 0.
  r = _mm_sub_epi8(_mm_add_epi8(x, x), _mm_cmpgt_epi8(zero, x));
  return _mm_xor_si128(x, _mm_and_si128(_mm_xor_si128(x, r), mask));
}

__attribute__((target("avx2"))) __m256i stepAvx2(__m256i x, __m256i s) {
  __m256i r =
      _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(x, 4), _mm256_set1_epi8(char(0xF0))),
                      _mm256_and_si256(_mm256_srli_epi16(x, 4), _mm256_set1_epi8(0x0F)));
  x = _mm256_blendv_epi8(x, r, s);  // blendv selects on bit 7

  s = _mm256_add_epi8(s, s);
  r = _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(x, 2), _mm256_set1_epi8(char(0xFC))),
                      _mm256_and_si256(_mm256_srli_epi16(x, 6), _mm256_set1_epi8(0x03)));
  x = _mm256_blendv_epi8(x, r, s);

  s = _mm256_add_epi8(s, s);
  r = _mm256_sub_epi8(_mm256_add_epi8(x, x), _mm256_cmpgt_epi8(_mm256_setzero_si256(), x));
  return _mm256_blendv_epi8(x, r, s);
}

}  // namespace

void rotateSse2(const uint8_t* schedule, size_t span, size_t index, uint8_t* data, size_t size) {
  size_t i = 0;
  for (; i + 16 <= size; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(schedule + index));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(data + i), stepSse2(x, s));
    index += 16;
    index = index >= span ? index - span : index;
  }
  if (i < size) {
    alignas(16) uint8_t tail[16] = {};
    std::memcpy(tail, data + i, size - i);
    const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(schedule + index));
    _mm_store_si128(reinterpret_cast<__m128i*>(tail), stepSse2(x, s));
    std::memcpy(data + i, tail, size - i);
  }
}

__attribute__((target("avx2"))) void rotateAvx2(const uint8_t* schedule, size_t span, size_t index,
                                                uint8_t* data, size_t size) {
  size_t i = 0;
  // Two vectors per turn: the schedule's pad covers the 64 bytes read.
  for (; i + 64 <= size; i += 64) {
    const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + 32));
    const __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(schedule + index));
    const __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(schedule + index + 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(data + i), stepAvx2(x0, s0));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(data + i + 32), stepAvx2(x1, s1));
    index += 64;
    index = index >= span ? index - span : index;
  }
  for (; i + 32 <= size; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(schedule + index));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(data + i), stepAvx2(x, s));
    index += 32;
    index = index >= span ? index - span : index;
  }
  if (i < size) {
    alignas(32) uint8_t tail[32] = {};
    std::memcpy(tail, data + i, size - i);
    const __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i*>(tail));
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(schedule + index));
    _mm256_store_si256(reinterpret_cast<__m256i*>(tail), stepAvx2(x, s));
    std::memcpy(data + i, tail, size - i);
  }
}

}  // namespace talvek::kernels

#endif  // TALVEK_CODEC_X86
