// The box a long job shows over the main dialog, made from IDD_PROGRESS:
// the file, a bar with the share done, the speed, the time left, and
// Cancel. Esc and the close box are Cancel too. It only shows what a
// JobProgressMeter says.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace talvek {

class JobProgressMeter;

class ProgressBox {
 public:
  // Creates the box, hidden, owned by `owner`; `onCancel` runs once, when
  // the user first asks for the stop.
  ProgressBox(HINSTANCE module, HWND owner, std::function<void()> onCancel);
  ~ProgressBox();
  ProgressBox(const ProgressBox&) = delete;
  ProgressBox& operator=(const ProgressBox&) = delete;

  HWND handle() const { return window_; }
  // Centres the box over its owner and shows it with the focus on Cancel.
  void show();
  void showProgress(const JobProgressMeter& meter);
  // The stop has been asked for, here or from outside: Cancel has done its part.
  void showStopping();

 private:
  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void setText(int id, const std::string& text);

  HWND window_ = nullptr;
  HWND owner_;
  std::function<void()> onCancel_;
  bool stopping_ = false;
};

// Puts `window` in the middle of `over` (its owner), or of the work area of
// the monitor it is on when `over` is null; always wholly inside that work
// area.
void centreWindow(HWND window, HWND over);

}  // namespace talvek
