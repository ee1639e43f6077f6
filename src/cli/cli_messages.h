// What talvek-cli says in its own words, besides the dialog's messages:
// usage errors, its exit statuses, and the count at the end of a run over
// many files.
#pragma once

#include <cstddef>
#include <string>

#include "dialog/encoder_dialog.h"

namespace talvek {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;  // a warning was shown, or the user said No
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;  // the job itself failed

int exitStatusOf(CommandResult result);

// Writes "talvek-cli: <error>" and the hint to --help to standard error;
// returns kExitUsage.
int usageError(const std::string& error);

// How the files of a run over many came out.
class EachTally {
 public:
  void add(CommandResult result);
  // The files not reached because a signal stopped the run.
  void setLeft(size_t left) { left_ = left; }
  // The exit status of the worst outcome.
  int exitStatus() const { return worst_; }
  // "3 encoded, 1 skipped, 1 failed", or "..., 4 not reached" after a stop.
  std::string summary(bool encode) const;

 private:
  size_t done_ = 0;
  size_t skipped_ = 0;
  size_t failed_ = 0;
  size_t left_ = 0;
  int worst_ = kExitDone;
};

}  // namespace talvek
