// What a window shows while a job runs: whether its progress box is due yet,
// and the box's texts (file, share done, speed, time left). The window feeds
// it readings of the job's progress; it keeps no clock of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

#include "dialog/window_system.h"

namespace talvek {

// A job still running this long after it started shows its progress; a
// shorter one shows nothing but the wait cursor.
inline constexpr std::chrono::milliseconds kProgressDelay{500};

class JobProgressMeter {
 public:
  explicit JobProgressMeter(const JobView& job);

  // A reading taken `elapsed` after the job started: `done` of `total` bytes.
  // Readings come in time order.
  void record(std::chrono::milliseconds elapsed, uint64_t done, uint64_t total);
  // The user asked the job to stop; the texts say so until it ends.
  void stopRequested() { stopping_ = true; }

  bool progressDue() const { return elapsed_ >= kProgressDelay; }

  // "Encoding" or "Decoding".
  std::string caption() const;
  // The source's file name.
  std::string fileText() const;
  // 0 to 1000, for a bar.
  int permille() const;
  // "42%".
  std::string percentText() const;
  // "85.3 MB/s"; "" until a speed has been measured.
  std::string speedText() const { return shownSpeed_; }
  // "About 12 s left", "Finishing...", "Stopping..."; "" while unknown.
  std::string timeLeftText() const;

 private:
  struct Reading {
    std::chrono::milliseconds elapsed;
    uint64_t done;
  };
  // Bytes per second over the recent readings; negative while unknown.
  double recentSpeed() const;
  void refreshTexts();

  JobView job_;
  std::chrono::milliseconds elapsed_{0};
  uint64_t done_ = 0;
  uint64_t total_ = 0;
  bool stopping_ = false;
  std::deque<Reading> recent_;
  // The speed and time left change at most once a second, so they can be read.
  std::chrono::milliseconds shownAt_{-1};
  std::string shownSpeed_;
  std::string shownTimeLeft_;
};

// "512 bytes/s", "1.5 KB/s", "85.3 MB/s", "312 MB/s", "1.2 GB/s"; units of
// 1024 bytes, three figures at most.
std::string speedText(double bytesPerSecond);

// "About 12 s left", "About 2 min 5 s left", "About 1 h 5 min left": whole
// seconds under a minute, 5 s steps under an hour, minutes above, rounded up.
std::string timeLeftText(std::chrono::seconds left);

}  // namespace talvek
