// The journal's record and its checksum: what a start trusts before it
// writes a file's old bytes back.
#include "job/journal_record.h"

#include <gtest/gtest.h>

#include <string>

#include "job/checksum.h"
#include "job_test_support.h"

namespace talvek {
namespace {

using Checksum = uint32_t (*)(uint32_t, const void*, size_t);

class ChecksumTest : public ::testing::TestWithParam<Checksum> {};

INSTANTIATE_TEST_SUITE_P(BothWays, ChecksumTest, ::testing::Values(&crc32c, &crc32cPortable));

TEST_P(ChecksumTest, IsCrc32cAndContinuesAcrossPieces) {
  const Checksum crc32c = GetParam();
  const struct {
    std::string bytes;
    uint32_t crc;
  } vectors[] = {
      {"", 0},
      {"123456789", 0xE3069283u},
      {std::string(32, '\0'), 0x8A9136AAu},
      {std::string(32, '\xFF'), 0x62A8AB43u},
  };
  for (const auto& v : vectors) EXPECT_EQ(crc32c(0, v.bytes.data(), v.bytes.size()), v.crc);
  // Every split of an odd length, so each piece has a ragged end.
  const std::string data = test::patternBytes(1001);
  const uint32_t whole = crc32c(0, data.data(), data.size());
  for (size_t split = 0; split <= data.size(); split += 7) {
    const uint32_t first = crc32c(0, data.data(), split);
    EXPECT_EQ(crc32c(first, data.data() + split, data.size() - split), whole) << split;
  }
}

class JournalRecordTest : public ::testing::Test {
 protected:
  JournalRecord record_{"/home/u/report.doc.tc", 2049, 1234567, 300001, 1000000000, 999999999,
                        0644, 0xDEADBEEF};
  std::string encoded_ = encodeJournalRecord(record_);

  // The record read back from a journal whose end is `end`.
  std::optional<JournalRecord> decode(const std::string& end, uint64_t dataSize) const {
    if (end.size() < kJournalTailSize) return std::nullopt;
    const std::string tail = end.substr(end.size() - kJournalTailSize);
    return decodeJournalRecord(end.substr(0, end.size() - kJournalTailSize), tail,
                               dataSize + end.size());
  }
};

TEST_F(JournalRecordTest, ReadsBackWhatWasWritten) {
  const std::string tail = encoded_.substr(encoded_.size() - kJournalTailSize);
  EXPECT_EQ(classifyJournalTail(tail), JournalEnd::Sealed);
  EXPECT_EQ(decode(encoded_, record_.size), record_);
}

TEST_F(JournalRecordTest, TrustsNoRecordWithAnyByteChanged) {
  for (size_t at = 0; at < encoded_.size(); ++at) {
    std::string damaged = encoded_;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
    EXPECT_EQ(decode(damaged, record_.size), std::nullopt) << "byte " << at;
  }
  // Nor one that does not fit the journal's size: the old bytes are not
  // all there, or something was appended.
  EXPECT_EQ(decode(encoded_, record_.size - 1), std::nullopt);
  EXPECT_EQ(decode(encoded_, record_.size + 1), std::nullopt);
}

TEST_F(JournalRecordTest, TellsANeverSealedEndFromADamagedOne) {
  EXPECT_EQ(classifyJournalTail(std::string(kJournalTailSize, '\0')), JournalEnd::Blank);
  EXPECT_EQ(classifyJournalTail("short"), JournalEnd::Blank);
  EXPECT_EQ(classifyJournalTail(std::string(kJournalTailSize, 'x')), JournalEnd::Damaged);
}

}  // namespace
}  // namespace talvek
