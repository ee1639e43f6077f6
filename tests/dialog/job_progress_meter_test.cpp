#include "dialog/job_progress_meter.h"

#include <gtest/gtest.h>

namespace talvek::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr uint64_t kMiB = 1 << 20;

TEST(JobProgressMeterTest, SpeedsKeepThreeFiguresInUnitsOf1024) {
  const std::vector<std::pair<double, std::string>> cases = {
      {0, "0 bytes/s"},
      {-5, "0 bytes/s"},
      {999, "999 bytes/s"},
      {1023, "1.0 KB/s"},
      {1536, "1.5 KB/s"},
      {85.3 * kMiB, "85.3 MB/s"},
      {99.96 * kMiB, "100 MB/s"},
      {312.4 * kMiB, "312 MB/s"},
      {1000.0 * kMiB, "1.0 GB/s"},
      {1.2 * 1024 * kMiB, "1.2 GB/s"},
  };
  for (const auto& [speed, text] : cases) EXPECT_EQ(speedText(speed), text) << speed;
}

TEST(JobProgressMeterTest, TimeLeftIsRoundedUpAndCoarserTheLongerItIs) {
  const std::vector<std::pair<long long, std::string>> cases = {
      {0, "About 1 s left"},         {59, "About 59 s left"},
      {60, "About 1 min left"},      {61, "About 1 min 5 s left"},
      {125, "About 2 min 5 s left"}, {3595, "About 59 min 55 s left"},
      {3596, "About 1 h left"},      {3661, "About 1 h 2 min left"},
      {90000, "About 25 h left"},
  };
  for (const auto& [left, text] : cases) EXPECT_EQ(timeLeftText(seconds(left)), text) << left;
}

TEST(JobProgressMeterTest, NamesTheJobAndIsDueOnlyAfterHalfASecond) {
  JobProgressMeter meter(JobView{"/home/u/My Files/report.doc", "/tmp/x.tc", false});
  EXPECT_EQ(meter.caption(), "Decoding");
  EXPECT_EQ(meter.fileText(), "report.doc");
  EXPECT_EQ(JobProgressMeter(JobView{"plain", "plain.tc", true}).caption(), "Encoding");
  meter.record(milliseconds(0), 0, 100);
  meter.record(milliseconds(499), 10, 100);
  EXPECT_FALSE(meter.progressDue());
  meter.record(milliseconds(500), 10, 100);
  EXPECT_TRUE(meter.progressDue());
}

TEST(JobProgressMeterTest, ShareIsRoundedDownSoAllOfItMeansDone) {
  JobProgressMeter meter(JobView{});
  EXPECT_EQ(meter.percentText(), "0%");  // nothing known yet
  const std::vector<std::tuple<uint64_t, uint64_t, int, std::string>> cases = {
      {0, 0, 0, "0%"},
      {1, 3, 333, "33%"},
      {9999, 10000, 999, "99%"},
      {10000, 10000, 1000, "100%"},
      {12, 10, 1000, "100%"},  // a source that grew
      {uint64_t{1} << 62, uint64_t{1} << 63, 500, "50%"},
  };
  for (const auto& [done, total, permille, text] : cases) {
    JobProgressMeter fresh(JobView{});
    fresh.record(milliseconds(0), done, total);
    EXPECT_EQ(fresh.permille(), permille) << done << "/" << total;
    EXPECT_EQ(fresh.percentText(), text) << done << "/" << total;
  }
}

TEST(JobProgressMeterTest, SpeedAndTimeLeftFollowTheLastSecondsAndChangeOnceASecond) {
  JobProgressMeter meter(JobView{});
  const uint64_t total = 1000 * kMiB;
  JobProgressMeter starting(JobView{});
  starting.record(milliseconds(0), 0, total);
  starting.record(milliseconds(1500), 0, total);
  EXPECT_EQ(starting.speedText(), "");  // getting ready, not stalled
  EXPECT_EQ(starting.timeLeftText(), "");

  meter.record(milliseconds(0), 0, total);
  meter.record(milliseconds(100), 10 * kMiB, total);
  EXPECT_EQ(meter.speedText(), "");  // too short to tell
  EXPECT_EQ(meter.timeLeftText(), "");
  meter.record(milliseconds(500), 50 * kMiB, total);  // 100 MiB/s
  EXPECT_EQ(meter.speedText(), "100 MB/s");
  EXPECT_EQ(meter.timeLeftText(), "About 10 s left");
  meter.record(milliseconds(900), 95 * kMiB, total);  // would be 106 MB/s, 9 s left
  EXPECT_EQ(meter.speedText(), "100 MB/s");
  EXPECT_EQ(meter.timeLeftText(), "About 10 s left");  // held for a second
  // The disk slows to 10 MiB/s; after a few seconds only that counts.
  uint64_t done = 95 * kMiB;
  for (int ms = 1000; ms <= 6000; ms += 100) {
    done += kMiB;
    meter.record(milliseconds(ms), done, total);
  }
  EXPECT_EQ(meter.speedText(), "10.0 MB/s");
  EXPECT_EQ(meter.timeLeftText(), "About 1 min 30 s left");  // 859 MiB at 10 MiB/s

  // Stalled: the speed says so and no time is promised.
  for (int ms = 6100; ms <= 10000; ms += 100) meter.record(milliseconds(ms), done, total);
  EXPECT_EQ(meter.speedText(), "0 bytes/s");
  EXPECT_EQ(meter.timeLeftText(), "");

  meter.record(milliseconds(10100), total, total);
  EXPECT_EQ(meter.timeLeftText(), "Finishing...");
  meter.stopRequested();
  EXPECT_EQ(meter.timeLeftText(), "Stopping...");
}

}  // namespace
}  // namespace talvek::test
