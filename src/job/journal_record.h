// What a job's journal says about the file it protects, and how that is laid
// out at the journal's end. A journal is the protected file's old bytes,
// followed by this record:
//
//   body:  "TVKJRNL1"  u64 device  u64 inode  u64 size  i64 mtime seconds
//          u32 mtime nanoseconds  u32 mode  u32 CRC-32C of the old bytes
//          u32 path length  path bytes
//   tail:  u32 body length  u32 CRC-32C of the body  "TVKJEND1"
//
// All numbers little-endian. The old bytes come first, so a journal that
// cannot be put back becomes a plain copy of them by cutting the record off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvek {

struct JournalRecord {
  std::string path;  // the protected file, absolute
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;  // of the old bytes
  int64_t modifiedSeconds = 0;
  uint32_t modifiedNanoseconds = 0;
  uint32_t mode = 0;  // permission bits
  uint32_t dataChecksum = 0;

  bool operator==(const JournalRecord&) const = default;
};

inline constexpr size_t kJournalTailSize = 16;

// The record as it is written after the old bytes: body and tail.
std::string encodeJournalRecord(const JournalRecord& record);

// How a journal's end reads.
enum class JournalEnd {
  Sealed,  // a whole record, consistent with the file's size
  Blank,   // zeros or too short: a journal that was never sealed or was spent
  Damaged, // something else
};

// The body's length that the tail gives, or nullopt for a tail that is not
// a tail (Blank or Damaged: see classifyJournalTail).
std::optional<uint32_t> journalBodyLength(std::string_view tail);
JournalEnd classifyJournalTail(std::string_view tail);

// Decodes the body (the bytes before the tail) of a journal of fileSize
// bytes: nullopt unless the body is whole and its size agrees.
std::optional<JournalRecord> decodeJournalRecord(std::string_view body, std::string_view tail,
                                                 uint64_t fileSize);

}  // namespace talvek
