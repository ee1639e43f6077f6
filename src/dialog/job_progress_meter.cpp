#include "dialog/job_progress_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "job/text_utils.h"

namespace talvek {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// The speed is measured over this much of the latest readings: long enough
// to be steady, short enough to follow a disk that slows down.
constexpr milliseconds kSpeedWindow{3000};
// Less than this between the first and the last reading says nothing yet.
constexpr milliseconds kShortestSpan{250};
constexpr milliseconds kTextRefresh{1000};

std::string format(const char* pattern, double value, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value, unit);
  return text;
}

}  // namespace

JobProgressMeter::JobProgressMeter(const JobView& job) : job_(job) {}

void JobProgressMeter::record(milliseconds elapsed, uint64_t done, uint64_t total) {
  elapsed_ = elapsed;
  total_ = total;
  // A job that starts over (none does today) measures afresh.
  if (done < done_) recent_.clear();
  done_ = done;
  recent_.push_back(Reading{elapsed, done});
  while (recent_.size() > 2 && elapsed - recent_[1].elapsed >= kSpeedWindow) recent_.pop_front();
  refreshTexts();
}

double JobProgressMeter::recentSpeed() const {
  if (recent_.size() < 2) return -1;
  const milliseconds span = recent_.back().elapsed - recent_.front().elapsed;
  if (span < kShortestSpan) return -1;
  const double bytes = static_cast<double>(recent_.back().done - recent_.front().done);
  return bytes * 1000.0 / static_cast<double>(span.count());
}

void JobProgressMeter::refreshTexts() {
  if (shownAt_.count() >= 0 && elapsed_ - shownAt_ < kTextRefresh) return;
  // Until the first bytes are done the job is still getting ready: it has no
  // speed yet, rather than none.
  const double speed = done_ > 0 ? recentSpeed() : -1;
  if (speed < 0) return;
  shownAt_ = elapsed_;
  shownSpeed_ = talvek::speedText(speed);
  if (speed > 0 && done_ < total_) {
    const double left = std::ceil(static_cast<double>(total_ - done_) / speed);
    shownTimeLeft_ = talvek::timeLeftText(seconds(static_cast<long long>(left)));
  } else {
    // Stalled: no honest estimate.
    shownTimeLeft_.clear();
  }
}

std::string JobProgressMeter::caption() const {
  return job_.encode ? "Encoding" : "Decoding";
}

std::string JobProgressMeter::fileText() const {
  return fileNamePart(job_.source);
}

int JobProgressMeter::permille() const {
  if (total_ == 0) return 0;
  const uint64_t done = std::min(done_, total_);
  // Rounded down, so 1000 means all of it.
  return static_cast<int>(1000.0L * static_cast<long double>(done) /
                          static_cast<long double>(total_));
}

std::string JobProgressMeter::percentText() const {
  return std::to_string(permille() / 10) + "%";
}

std::string JobProgressMeter::timeLeftText() const {
  if (stopping_) return "Stopping...";
  // The last bytes are written; the destination is being put in place.
  if (total_ > 0 && done_ >= total_) return "Finishing...";
  return shownTimeLeft_;
}

std::string speedText(double bytesPerSecond) {
  if (!(bytesPerSecond >= 0)) bytesPerSecond = 0;
  if (bytesPerSecond < 999.5) return format("%.0f %s", bytesPerSecond, "bytes/s");
  static const char* const kUnits[] = {"KB/s", "MB/s", "GB/s", "TB/s"};
  double value = bytesPerSecond / 1024;
  size_t unit = 0;
  while (value >= 999.5 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  return format(value < 99.95 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
}

std::string timeLeftText(seconds left) {
  long long s = std::max<long long>(left.count(), 1);
  if (s < 60) return "About " + std::to_string(s) + " s left";
  if (s <= 3600 - 5) {
    s = (s + 4) / 5 * 5;
    const std::string minutes = "About " + std::to_string(s / 60) + " min";
    return s % 60 == 0 ? minutes + " left" : minutes + " " + std::to_string(s % 60) + " s left";
  }
  const long long minutes = (s + 59) / 60;
  const std::string hours = "About " + std::to_string(minutes / 60) + " h";
  return minutes % 60 == 0 ? hours + " left"
                           : hours + " " + std::to_string(minutes % 60) + " min left";
}

}  // namespace talvek
