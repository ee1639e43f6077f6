#include "cli/cli_messages.h"

#include <algorithm>
#include <iostream>

namespace talvek {

int exitStatusOf(CommandResult result) {
  switch (result) {
    case CommandResult::Done:
      return kExitDone;
    case CommandResult::Cancelled:
    case CommandResult::Refused:
      return kExitRefused;
    case CommandResult::Failed:
    case CommandResult::Stopped:  // only by a signal, which ends the process
      return kExitFailed;
  }
  return kExitFailed;
}

int usageError(const std::string& error) {
  std::cerr << "talvek-cli: " << error << "\n"
            << "Try 'talvek-cli --help'." << std::endl;
  return kExitUsage;
}

void EachTally::add(CommandResult result) {
  switch (result) {
    case CommandResult::Done:
      ++done_;
      break;
    case CommandResult::Failed:
    case CommandResult::Stopped:
      ++failed_;
      break;
    case CommandResult::Cancelled:
    case CommandResult::Refused:
      ++skipped_;
      break;
  }
  worst_ = std::max(worst_, exitStatusOf(result));
}

std::string EachTally::summary(bool encode) const {
  std::string text = std::to_string(done_) + (encode ? " encoded, " : " decoded, ") +
                     std::to_string(skipped_) + " skipped, " + std::to_string(failed_) +
                     " failed";
  if (left_ > 0) text += ", " + std::to_string(left_) + " not reached";
  return text;
}

}  // namespace talvek
