#include "cli/terminal_window.h"

#include "cli/name_quoting.h"
#include "cli/progress_bar.h"
#include "dialog/window_constants.h"
#include "platform/stop_signals.h"

namespace talvek {

namespace {

bool isYes(const std::string& answer) {
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

}  // namespace

TerminalWindow::TerminalWindow(std::ostream& err, LineReader readAnswer, bool assumeYes,
                               std::string whyNotAsked)
    : err_(err),
      readAnswer_(std::move(readAnswer)),
      assumeYes_(assumeYes),
      whyNotAsked_(std::move(whyNotAsked)) {}

std::string TerminalWindow::controlText(int id) {
  const auto it = texts_.find(id);
  return it == texts_.end() ? std::string() : it->second;
}

int TerminalWindow::messageBox(const std::string& text, const std::string& caption,
                               unsigned flags) {
  const std::string about = subject_.empty() ? caption : subject_ + ": " + caption;
  if ((flags & MB_TYPEMASK) != MB_YESNO) {
    err_ << about << ": " << text << std::endl;
    return IDOK;
  }
  if (assumeYes_) return IDYES;
  // No is the default: anything but a clear yes, and no answer at all, is No.
  const std::string question = about + ": " + text + " [y/N] ";
  if (!readAnswer_) {
    err_ << question << "n (" << whyNotAsked_ << "; --yes answers yes)" << std::endl;
    return IDNO;
  }
  err_ << std::flush;
  const std::optional<std::string> answer = readAnswer_(question);
  return answer && isYes(*answer) ? IDYES : IDNO;
}

bool TerminalWindow::runJob(const JobView&, const JobWork& work) {
  ProgressBar bar(err_, kProgressThreshold);
  bool done = false;
  {
    const StopSignals signals;
    done = work([this, &bar](uint64_t bytes, uint64_t total) {
      if (showProgress_) bar.update(bytes, total);
      return StopSignals::caught() == 0;
    });
    bar.finish();
  }
  // A signal that came after the job's last moment to stop changes nothing:
  // the result is in place.
  stopSignal_ = done ? 0 : StopSignals::caught();
  return done;
}

std::string TerminalWindow::displayPath(const std::string& path) {
  return shellEscapedName(path);
}

std::optional<std::string> TerminalWindow::openFileDialog(const FileDialogSpec&) {
  return saveFileDialog({});
}

std::optional<std::string> TerminalWindow::saveFileDialog(const FileDialogSpec&) {
  if (fileChoices_.empty()) return std::nullopt;
  std::string path = std::move(fileChoices_.front());
  fileChoices_.pop_front();
  return path;
}

}  // namespace talvek
