// The x86-64 loops: SSE2 (always present) and AVX2 (chosen at run time).
#include "codec/block_kernels.h"

#if defined(TALVEK_CODEC_X86)

#include <immintrin.h>

#include <cstring>

namespace talvek::kernels {
namespace {

// Each step rotates a vector of bytes by the amounts in a vector of schedule
// bytes, each holding 1 << amount. A byte b repeated in both halves of a
// 16-bit lane and multiplied by 1 << amount has b rotated left by amount in
// its high half, so there are no branches on the data or the key.

__m128i stepSse2(__m128i x, __m128i s) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_mullo_epi16(_mm_unpacklo_epi8(x, x), _mm_unpacklo_epi8(s, zero));
  const __m128i high = _mm_mullo_epi16(_mm_unpackhi_epi8(x, x), _mm_unpackhi_epi8(s, zero));
  return _mm_packus_epi16(_mm_srli_epi16(low, 8), _mm_srli_epi16(high, 8));
}

// The unpacks and the pack work within 128-bit halves alike, so bytes come
// back in their places.
__attribute__((target("avx2"))) __m256i stepAvx2(__m256i x, __m256i s) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i low = _mm256_mullo_epi16(_mm256_unpacklo_epi8(x, x), _mm256_unpacklo_epi8(s, zero));
  const __m256i high =
      _mm256_mullo_epi16(_mm256_unpackhi_epi8(x, x), _mm256_unpackhi_epi8(s, zero));
  return _mm256_packus_epi16(_mm256_srli_epi16(low, 8), _mm256_srli_epi16(high, 8));
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
