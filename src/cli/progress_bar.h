// A one-line progress bar on a terminal for long jobs.
#pragma once

#include <cstdint>
#include <ostream>

namespace talvek {

class ProgressBar {
 public:
  // Jobs smaller than `threshold` bytes show nothing.
  ProgressBar(std::ostream& out, uint64_t threshold) : out_(out), threshold_(threshold) {}

  // Redraws the line when the shown percentage changes.
  void update(uint64_t done, uint64_t total);
  // Ends the line, if one was drawn.
  void finish();

 private:
  std::ostream& out_;
  uint64_t threshold_;
  int shownPercent_ = -1;
};

// What talvek-cli calls a big file.
constexpr uint64_t kProgressThreshold = 8u << 20;

}  // namespace talvek
