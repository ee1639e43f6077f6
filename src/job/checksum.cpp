#include "job/checksum.h"

#include <array>
#include <cstring>

namespace talvek {
namespace {

constexpr uint32_t kPolynomial = 0x82F63B78u;  // reflected Castagnoli

// Eight tables, so the portable path takes eight bytes a step.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables() {
  Tables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) != 0 ? kPolynomial : 0u);
    tables[0][byte] = crc;
  }
  for (size_t table = 1; table < 8; ++table) {
    for (size_t byte = 0; byte < 256; ++byte) {
      const uint32_t previous = tables[table - 1][byte];
      tables[table][byte] = (previous >> 8) ^ tables[0][previous & 0xFFu];
    }
  }
  return tables;
}

constexpr Tables kTables = makeTables();

uint32_t crcPortable(uint32_t crc, const unsigned char* p, size_t size) {
  while (size >= 8) {
    uint32_t low = 0;
    uint32_t high = 0;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + 4, 4);
    low ^= crc;  // little-endian words, as on every target we build for
    crc = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^
          kTables[5][(low >> 16) & 0xFFu] ^ kTables[4][low >> 24] ^ kTables[3][high & 0xFFu] ^
          kTables[2][(high >> 8) & 0xFFu] ^ kTables[1][(high >> 16) & 0xFFu] ^
          kTables[0][high >> 24];
    p += 8;
    size -= 8;
  }
  while (size-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFFu];
  return crc;
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("sse4.2"))) uint32_t crcHardware(uint32_t crc, const unsigned char* p,
                                                        size_t size) {
  uint64_t wide = crc;
  while (size >= 8) {
    uint64_t word = 0;
    std::memcpy(&word, p, 8);
    wide = __builtin_ia32_crc32di(wide, word);
    p += 8;
    size -= 8;
  }
  crc = static_cast<uint32_t>(wide);
  while (size-- > 0) crc = __builtin_ia32_crc32qi(crc, *p++);
  return crc;
}

bool haveHardwareCrc() {
  static const bool have = __builtin_cpu_supports("sse4.2");
  return have;
}
#endif

}  // namespace

uint32_t crc32cPortable(uint32_t crc, const void* data, size_t size) {
  return ~crcPortable(~crc, static_cast<const unsigned char*>(data), size);
}

uint32_t crc32c(uint32_t crc, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
#if defined(__x86_64__) && defined(__GNUC__)
  crc = haveHardwareCrc() ? crcHardware(crc, p, size) : crcPortable(crc, p, size);
#else
  crc = crcPortable(crc, p, size);
#endif
  return ~crc;
}

}  // namespace talvek
