// The real main dialog, made from the test program's own copy of the
// resource script, with the system's boxes answered by the test: what each
// box was asked is recorded. Messages go through the dialog's own loop hook,
// as the program's loop sends them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "winui/encoder_window.h"

namespace talvek::test {

struct ShownBox {
  std::string text;
  std::string caption;
  unsigned flags = 0;
};

struct AskedFileDialog {
  bool save = false;
  FileDialogSpec description;
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  std::unique_ptr<EncoderWindow> openWindow(DialogEnvironment environment = {});

  // Dispatches what is queued, through the window's hook when one is given.
  static void pump(EncoderWindow* window = nullptr);
  // A key pressed while `target` has the focus: WM_KEYDOWN through the hook,
  // then WM_KEYUP; `control` holds Ctrl down meanwhile.
  static void press(EncoderWindow& window, HWND target, UINT key, bool control = false);
  static HWND item(EncoderWindow& window, int id) { return ::GetDlgItem(window.handle(), id); }
  static std::string windowText(HWND window);

  // Every start looks for the journals of interrupted jobs: in a folder of
  // the test's own.
  TempDir stateHome;
  StateHomeOverride stateOverride{stateHome.path()};

  std::vector<ShownBox> shown;
  std::deque<int> answers;  // message-box answers, IDOK when none is left
  std::vector<AskedFileDialog> fileDialogs;
  std::optional<std::string> fileAnswer;
  std::vector<std::string> opened;
  bool openSucceeds = true;
  int aboutShown = 0;
  HACCEL accelerators = nullptr;
};

// The program's accelerators, loaded from the test program's resources.
HACCEL loadTestAccelerators();

}  // namespace talvek::test
