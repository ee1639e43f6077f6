// The dialog's window for talvek-cli: the controls are filled from the
// command line, messages go to standard error as "Warning: <text>", and the
// overwrite question is asked on the terminal.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "dialog/window_system.h"

namespace talvek {

class TerminalWindow : public WindowSystem {
 public:
  // Writes a question's prompt where the answer is typed and reads the
  // answer; nullopt at end of input.
  using LineReader = std::function<std::optional<std::string>(const std::string& prompt)>;

  // Questions are answered Yes without asking when `assumeYes`, and No
  // without asking when there is no `readAnswer` (nothing to answer on); the
  // warning then says why: `whyNotAsked`, e.g. "standard input is not a
  // terminal".
  TerminalWindow(std::ostream& err, LineReader readAnswer, bool assumeYes,
                 std::string whyNotAsked = "standard input is not a terminal");

  // Draws a progress bar on err during big jobs.
  void showProgress(bool show) { showProgress_ = show; }

  // The file the messages are about, put before each (a display name), or
  // "" when there is only one.
  void setSubject(std::string subject) { subject_ = std::move(subject); }

  // The answer to the next save-file dialog (genkey's PATH).
  void queueFileChoice(std::string path) { fileChoices_.push_back(std::move(path)); }

  std::string controlText(int id) override;
  void setControlText(int id, const std::string& text) override { texts_[id] = text; }
  bool isChecked(int id) override { return checked_ == id; }
  void checkButton(int id) override { checked_ = id; }
  int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  // A terminal has no cursor to change and the end of the process signals
  // the end of the job.
  void beginWaitCursor() override {}
  void restoreCursor() override {}
  void beep(unsigned) override {}
  // Runs the job with SIGINT, SIGTERM and SIGHUP turned into a stop, so the
  // job removes what it made; the caller then ends the process by the signal
  // (stopSignal()).
  bool runJob(const JobView& job, const JobWork& work) override;
  // The signal that kept the last job from completing, or 0: the process
  // is to end by it once the command is over.
  int stopSignal() const { return stopSignal_; }
  std::optional<std::string> openFileDialog(const FileDialogSpec& description) override;
  std::optional<std::string> saveFileDialog(const FileDialogSpec& description) override;
  bool openDocument(const std::string&) override { return false; }
  void showAbout() override {}
  void endDialog(int) override {}
  // Names whose control characters would act on the terminal, or fake a
  // line of output, are shell-quoted (see name_quoting.h).
  std::string displayPath(const std::string& path) override;

 private:
  std::ostream& err_;
  LineReader readAnswer_;
  bool assumeYes_;
  std::string whyNotAsked_;
  std::string subject_;
  bool showProgress_ = false;
  int stopSignal_ = 0;
  std::map<int, std::string> texts_;
  int checked_ = 0;
  std::deque<std::string> fileChoices_;
};

}  // namespace talvek
