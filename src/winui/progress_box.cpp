#include "winui/progress_box.h"

#include <commctrl.h>

#include <vector>

#include "dialog/job_progress_meter.h"
#include "platform/win32/wide_text.h"
#include "winui/winui_ids.h"

namespace talvek {

void centreWindow(HWND window, HWND over) {
  RECT box{};
  ::GetWindowRect(window, &box);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(over != nullptr ? over : window, MONITOR_DEFAULTTONEAREST),
                    &monitor);
  const RECT area = monitor.rcWork;
  RECT centre = area;
  if (over != nullptr && !::IsIconic(over)) ::GetWindowRect(over, &centre);
  const LONG width = box.right - box.left;
  const LONG height = box.bottom - box.top;
  LONG x = centre.left + (centre.right - centre.left - width) / 2;
  LONG y = centre.top + (centre.bottom - centre.top - height) / 2;
  // Wholly on the screen, the caption first.
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

ProgressBox::ProgressBox(HINSTANCE module, HWND owner, std::function<void()> onCancel)
    : owner_(owner), onCancel_(std::move(onCancel)) {
  window_ = ::CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_PROGRESS), owner, dialogProc,
                                 reinterpret_cast<LPARAM>(this));
  if (window_ != nullptr) {
    ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 1000);
  }
}

ProgressBox::~ProgressBox() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void ProgressBox::show() {
  if (window_ == nullptr) return;
  centreWindow(window_, owner_);
  ::ShowWindow(window_, SW_SHOW);
  ::SetFocus(::GetDlgItem(window_, IDCANCEL));
}

void ProgressBox::setText(int id, const std::string& text) {
  HWND control = ::GetDlgItem(window_, id);
  const std::wstring wanted = wideFromUtf8(text);
  // Only what changed, so the texts do not flicker.
  std::vector<wchar_t> shown(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1);
  ::GetWindowTextW(control, shown.data(), static_cast<int>(shown.size()));
  if (wanted != shown.data()) ::SetWindowTextW(control, wanted.c_str());
}

void ProgressBox::showProgress(const JobProgressMeter& meter) {
  if (window_ == nullptr) return;
  const std::wstring caption = wideFromUtf8(meter.caption());
  wchar_t shown[64] = {};
  ::GetWindowTextW(window_, shown, 64);
  if (caption != shown) ::SetWindowTextW(window_, caption.c_str());
  setText(IDC_PROGRESS_FILE, meter.fileText());
  ::SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS,
                        static_cast<WPARAM>(meter.permille()), 0);
  setText(IDC_PROGRESS_PERCENT, meter.percentText());
  setText(IDC_PROGRESS_SPEED, meter.speedText());
  setText(IDC_PROGRESS_TIME_LEFT, meter.timeLeftText());
}

void ProgressBox::showStopping() {
  stopping_ = true;
  if (window_ != nullptr) ::EnableWindow(::GetDlgItem(window_, IDCANCEL), FALSE);
}

INT_PTR CALLBACK ProgressBox::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    return FALSE;  // the focus goes to Cancel when the box shows
  }
  auto* box = reinterpret_cast<ProgressBox*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (box == nullptr) return FALSE;
  // Cancel, Esc and the close box (which the dialog manager turns into
  // IDCANCEL) ask for the stop once; the box stays until the job ends.
  if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
    if (!box->stopping_) {
      box->showStopping();
      if (box->onCancel_) box->onCancel_();
    }
    return TRUE;
  }
  return FALSE;
}

}  // namespace talvek
