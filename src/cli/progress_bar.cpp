#include "cli/progress_bar.h"

#include <string>

namespace talvek {

namespace {
constexpr int kWidth = 40;
}  // namespace

void ProgressBar::update(uint64_t done, uint64_t total) {
  if (total < threshold_ || total == 0) return;
  if (done > total) done = total;
  const int percent = static_cast<int>(done * 100 / total);
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  const int filled = percent * kWidth / 100;
  out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << percent
       << "%" << std::flush;
}

void ProgressBar::finish() {
  if (shownPercent_ >= 0) out_ << std::endl;
  shownPercent_ = -1;
}

}  // namespace talvek
