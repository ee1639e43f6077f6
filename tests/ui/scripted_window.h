// A main window whose modal boxes, file dialogs, document opener and job are
// answered by the test and written down in a trace, so no test blocks.
#pragma once

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "dialog/option_storage.h"
#include "ui/encoder_window.h"

namespace talvek::test {

class FakeOptions : public OptionStorage {
 public:
  int loadOptType() override { return stored; }
  void saveOptType(bool passwordChecked) override { saves.push_back(passwordChecked); }

  int stored = 1009;  // IDC_USE_PASSWORD
  std::vector<bool> saves;
};

// What a modal box looked like when it ran.
struct BoxRecord {
  QString text, caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;  // "Ok", "Yes", "No"
  QString defaultButton;
};

struct FileDialogRecord {
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
  QStringList nameFilters;
  QString selectedFilter, defaultSuffix, nameField;
  QFileDialog::Options options;
  QString directory;  // where it opened
};

class ScriptedWindow {
 public:
  // programDirectory: where Manual.html is looked for; commandLineFile: the
  // file named on the command line, as its bytes.
  explicit ScriptedWindow(const QString& programDirectory = {},
                          const std::string& commandLineFile = {});

  EncoderWindow& window() { return *window_; }
  FakeOptions& options() { return options_; }

  // Everything that happened, one line each: "message: <text>",
  // "open: <first filter>", "save: <first filter>", "document: <path>",
  // "job: encode|decode", "about".
  QStringList trace;
  std::vector<BoxRecord> boxes;
  std::vector<FileDialogRecord> fileDialogs;

  // Answers in order: a path accepts the next file dialog, nullopt cancels.
  std::deque<std::optional<QString>> fileAnswers;
  // Answers of message boxes, by button: QMessageBox::Yes, No, Ok.
  std::deque<QMessageBox::StandardButton> boxAnswers;
  // Run inside the next modal box, before it is answered.
  std::function<void(QDialog&)> whileOpen;
  // Whether every job so far ran under the wait cursor.
  bool jobsUnderWaitCursor = true;
  // What the document opener reports.
  bool documentOpens = true;

  QLineEdit* edit(int id);
  QString text(int id);
  void setText(int id, const QString& text);

 private:
  int runModal(QDialog& dialog);

  FakeOptions options_;
  std::unique_ptr<EncoderWindow> window_;
};

// The window's control with that identifier, as its widget class.
template <typename W>
W* controlAs(EncoderWindow& window, int id) {
  return qobject_cast<W*>(window.control(id));
}

}  // namespace talvek::test
