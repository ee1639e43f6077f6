#include "fake_window.h"

#include <gtest/gtest.h>

#include "dialog/window_constants.h"

namespace talvek::test {

std::string FakeWindow::controlText(int id) {
  const auto it = texts.find(id);
  return it == texts.end() ? std::string() : it->second;
}

void FakeWindow::setControlText(int id, const std::string& text) {
  texts[id] = text;
}

int FakeWindow::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
  messages.push_back({text, caption, flags});
  events.push_back("message");
  if ((flags & MB_TYPEMASK) != MB_YESNO) return IDOK;
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return IDNO;
  }
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakeWindow::beginWaitCursor() {
  EXPECT_FALSE(waiting_) << "wait cursor shown twice";
  waiting_ = true;
  events.push_back("wait");
}

void FakeWindow::restoreCursor() {
  EXPECT_TRUE(waiting_) << "cursor restored without a wait cursor";
  waiting_ = false;
  events.push_back("restore");
}

void FakeWindow::beep(unsigned type) {
  beeps.push_back(type);
  events.push_back("beep");
}

std::optional<std::string> FakeWindow::nextFileChoice(bool save,
                                                      const FileDialogSpec& description) {
  fileDialogs.push_back({save, description});
  if (fileChoices.empty()) {
    ADD_FAILURE() << "unexpected file dialog";
    return std::nullopt;
  }
  auto choice = fileChoices.front();
  fileChoices.pop_front();
  return choice;
}

std::optional<std::string> FakeWindow::openFileDialog(const FileDialogSpec& description) {
  return nextFileChoice(false, description);
}

std::optional<std::string> FakeWindow::saveFileDialog(const FileDialogSpec& description) {
  return nextFileChoice(true, description);
}

bool FakeWindow::openDocument(const std::string& path) {
  openedDocuments.push_back(path);
  return openDocumentSucceeds;
}

void FakeWindow::endDialog(int result) {
  EXPECT_FALSE(endResult) << "dialog ended twice";
  endResult = result;
}

}  // namespace talvek::test
