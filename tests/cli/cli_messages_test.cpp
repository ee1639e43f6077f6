#include "cli/cli_messages.h"

#include <gtest/gtest.h>

#include "cli/job_done_line.h"

namespace talvek {
namespace {

TEST(CliMessagesTest, SizesAreDecimalWithOneDecimalAndNeverRoundUpToAThousand) {
  const std::vector<std::pair<uint64_t, std::string>> cases = {
      {0, "0 bytes"},          {1, "1 byte"},           {999, "999 bytes"},
      {1000, "1.0 kB"},        {19200000, "19.2 MB"},   {999949, "999.9 kB"},
      {999950, "1.0 MB"},      {1u << 30, "1.1 GB"},    {UINT64_MAX, "18.4 EB"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(sizeText(bytes), text) << bytes;
  EXPECT_EQ(jobDoneLine(true, "report.doc", "report.doc.tc", 19200000, ""),
            "Encoded report.doc to report.doc.tc, 19.2 MB");
  EXPECT_EQ(jobDoneLine(false, "a.tc", "a", 2, "data"), "Decoded a.tc to a, 2 bytes: data");
}

TEST(CliMessagesTest, ARunEndsWithTheWorstStatusOfItsFiles) {
  EachTally tally;
  EXPECT_EQ(tally.exitStatus(), kExitDone);
  for (const CommandResult result :
       {CommandResult::Done, CommandResult::Failed, CommandResult::Refused, CommandResult::Done}) {
    tally.add(result);
  }
  EXPECT_EQ(tally.exitStatus(), kExitFailed);
  EXPECT_EQ(tally.summary(false), "2 decoded, 1 skipped, 1 failed");
  tally.setLeft(3);
  EXPECT_EQ(tally.summary(true), "2 encoded, 1 skipped, 1 failed, 3 not reached");
}

}  // namespace
}  // namespace talvek
