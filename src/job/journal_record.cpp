#include "job/journal_record.h"

#include <algorithm>

#include "job/checksum.h"

namespace talvek {
namespace {

constexpr std::string_view kBodyMagic = "TVKJRNL1";
constexpr std::string_view kTailMagic = "TVKJEND1";
// Everything of the body but the path.
constexpr size_t kFixedBody = 8 + 8 + 8 + 8 + 8 + 4 + 4 + 4 + 4;
// A path longer than any the system takes is no record of ours.
constexpr size_t kMaxPath = 1 << 16;

void put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

uint64_t get(std::string_view in, size_t at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<uint64_t>(static_cast<unsigned char>(in[at + static_cast<size_t>(i)]))
             << (8 * i);
  }
  return value;
}

}  // namespace

std::string encodeJournalRecord(const JournalRecord& record) {
  std::string body(kBodyMagic);
  put(body, record.device, 8);
  put(body, record.inode, 8);
  put(body, record.size, 8);
  put(body, static_cast<uint64_t>(record.modifiedSeconds), 8);
  put(body, record.modifiedNanoseconds, 4);
  put(body, record.mode, 4);
  put(body, record.dataChecksum, 4);
  put(body, record.path.size(), 4);
  body += record.path;
  std::string out = body;
  put(out, body.size(), 4);
  put(out, crc32c(0, body.data(), body.size()), 4);
  out += kTailMagic;
  return out;
}

JournalEnd classifyJournalTail(std::string_view tail) {
  if (tail.size() < kJournalTailSize) return JournalEnd::Blank;
  if (std::all_of(tail.begin(), tail.end(), [](char c) { return c == 0; })) {
    return JournalEnd::Blank;
  }
  return tail.substr(8) == kTailMagic ? JournalEnd::Sealed : JournalEnd::Damaged;
}

std::optional<uint32_t> journalBodyLength(std::string_view tail) {
  if (classifyJournalTail(tail) != JournalEnd::Sealed) return std::nullopt;
  const auto length = static_cast<uint32_t>(get(tail, 0, 4));
  if (length < kFixedBody || length > kFixedBody + kMaxPath) return std::nullopt;
  return length;
}

std::optional<JournalRecord> decodeJournalRecord(std::string_view body, std::string_view tail,
                                                 uint64_t fileSize) {
  const std::optional<uint32_t> length = journalBodyLength(tail);
  if (!length || body.size() != *length || body.substr(0, 8) != kBodyMagic) return std::nullopt;
  if (crc32c(0, body.data(), body.size()) != static_cast<uint32_t>(get(tail, 4, 4))) {
    return std::nullopt;
  }
  JournalRecord record;
  record.device = get(body, 8, 8);
  record.inode = get(body, 16, 8);
  record.size = get(body, 24, 8);
  record.modifiedSeconds = static_cast<int64_t>(get(body, 32, 8));
  record.modifiedNanoseconds = static_cast<uint32_t>(get(body, 40, 4));
  record.mode = static_cast<uint32_t>(get(body, 44, 4));
  record.dataChecksum = static_cast<uint32_t>(get(body, 48, 4));
  const uint64_t pathLength = get(body, 52, 4);
  if (kFixedBody + pathLength != body.size() || pathLength == 0) return std::nullopt;
  record.path = std::string(body.substr(kFixedBody));
  // The old bytes, the body and the tail make up the whole file.
  if (record.size > fileSize || fileSize - record.size != body.size() + kJournalTailSize) {
    return std::nullopt;
  }
  return record;
}

}  // namespace talvek
