// A scripted WindowSystem for driving EncoderDialog in tests: answers to
// message boxes and file dialogs are queued in advance, and everything the
// dialog shows or does is recorded.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dialog/window_system.h"

namespace talvek::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  unsigned flags;
};

struct ShownFileDialog {
  bool save;
  FileDialogSpec description;
};

class FakeWindow : public WindowSystem {
 public:
  // Scripting.
  std::map<int, std::string> texts;
  std::deque<int> answers;  // for MB_YESNO boxes; an empty queue fails the test
  std::deque<std::optional<std::string>> fileChoices;  // nullopt: cancelled
  bool openDocumentSucceeds = true;

  // Records.
  std::vector<ShownMessage> messages;
  std::vector<ShownFileDialog> fileDialogs;
  std::vector<std::string> openedDocuments;
  std::vector<unsigned> beeps;
  std::vector<std::string> events;  // "wait", "restore", "beep", "message" in order
  int aboutShown = 0;
  std::optional<int> endResult;
  int checkedButton = 0;

  bool waitCursorShown() const { return waiting_; }

  std::string controlText(int id) override;
  void setControlText(int id, const std::string& text) override;
  bool isChecked(int id) override { return checkedButton == id; }
  void checkButton(int id) override { checkedButton = id; }
  int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void beginWaitCursor() override;
  void restoreCursor() override;
  void beep(unsigned type) override;
  std::optional<std::string> openFileDialog(const FileDialogSpec& description) override;
  std::optional<std::string> saveFileDialog(const FileDialogSpec& description) override;
  bool openDocument(const std::string& path) override;
  void showAbout() override { ++aboutShown; }
  void endDialog(int result) override;

 private:
  std::optional<std::string> nextFileChoice(bool save, const FileDialogSpec& description);
  bool waiting_ = false;
};

}  // namespace talvek::test
