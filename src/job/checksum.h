// CRC-32C (Castagnoli), the check that tells whether a journal's copy of a
// file came back from the disk as it was written. Uses the processor's own
// instruction where it has one, so checking costs less than the copy.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvek {

// The CRC of size bytes, continuing from `crc` (0 for the first piece):
// crc32c(crc32c(0, a), b) is the CRC of a followed by b.
uint32_t crc32c(uint32_t crc, const void* data, size_t size);

// The same without the processor's instruction, as machines without it
// compute it (and as tests check it on those with it).
uint32_t crc32cPortable(uint32_t crc, const void* data, size_t size);

}  // namespace talvek
