// Hands a document to the desktop's opener program (xdg-open) and tells
// whether it could be shown. The opener's exit status decides when it ends
// within a short wait; one still running after that is taken to show the
// document, since some openers wait for the viewer to close. The windows
// paint meanwhile but take no input.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace talvek {

class DesktopOpener {
 public:
  explicit DesktopOpener(std::string program = "xdg-open",
                         std::chrono::milliseconds patience = std::chrono::seconds(2));
  // Openers still running are left to run; finished ones are reaped.
  ~DesktopOpener();
  DesktopOpener(const DesktopOpener&) = delete;
  DesktopOpener& operator=(const DesktopOpener&) = delete;

  // False when the opener cannot be started or ends with a failure.
  bool open(const std::string& path);

 private:
  void reapFinished();

  std::string program_;
  std::chrono::milliseconds patience_;
  std::vector<pid_t> running_;
};

}  // namespace talvek
