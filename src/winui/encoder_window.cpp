#include "winui/encoder_window.h"

#include <shellapi.h>

#include <vector>

#include "dialog/resource_ids.h"
#include "dialog/wait_cursor.h"
#include "platform/charset.h"
#include "platform/win32/wide_text.h"
#include "winui/about_box.h"
#include "winui/file_dialog.h"
#include "winui/job_runner.h"
#include "winui/progress_box.h"

namespace talvek {
namespace {

// What the session's end waits for a stopped job to clean up after itself.
constexpr std::chrono::milliseconds kSessionEndJobWait{20000};

// Posted to itself once the dialog is up: what runs before any command.
constexpr UINT kStartedMessage = WM_APP + 1;

HICON loadProgramIcon(HINSTANCE module, int sizeMetricX, int sizeMetricY) {
  return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                         ::GetSystemMetrics(sizeMetricX),
                                         ::GetSystemMetrics(sizeMetricY), LR_DEFAULTCOLOR));
}

// One of the system's cursors (IDC_WAIT ...), which the headers name in the
// narrow form here.
HCURSOR systemCursor(LPCSTR id) {
  return ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(id));
}

bool isOptionButton(int id) {
  return id == IDC_USE_PASSWORD || id == IDC_USE_KEY_FILE;
}

}  // namespace

SystemBoxes SystemBoxes::real() {
  SystemBoxes boxes;
  boxes.messageBox = [](HWND owner, const std::wstring& text, const std::wstring& caption,
                        unsigned flags) {
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
  };
  boxes.fileDialog = runFileDialog;
  boxes.openDocument = [](HWND owner, const std::string& path) {
    const std::wstring file = wideFromUtf8(absolutePathOf(path));
    const auto code = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(owner, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return code > 32;
  };
  boxes.about = [](HWND owner) {
    runAboutBox(reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(owner, GWLP_HINSTANCE)), owner);
  };
  return boxes;
}

EncoderWindow::EncoderWindow(HINSTANCE module, DialogEnvironment environment, HACCEL accelerators,
                             SystemBoxes boxes)
    : module_(module),
      accelerators_(accelerators),
      boxes_(std::move(boxes)),
      environment_(std::move(environment)) {
  bigIcon_ = loadProgramIcon(module_, SM_CXICON, SM_CYICON);
  smallIcon_ = loadProgramIcon(module_, SM_CXSMICON, SM_CYSMICON);
  ::CreateDialogParamW(module_, MAKEINTRESOURCEW(IDD_MAIN), nullptr, dialogProc,
                       reinterpret_cast<LPARAM>(this));
}

EncoderWindow::~EncoderWindow() {
  if (window_ != nullptr) {
    ::SetWindowLongPtrW(window_, DWLP_USER, 0);
    ::DestroyWindow(window_);
  }
  if (bigIcon_ != nullptr) ::DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
}

INT_PTR CALLBACK EncoderWindow::dialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<EncoderWindow*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->onInitDialog(window);
    return TRUE;  // the focus goes to the first tab stop, IDC_SOURCE
  }
  auto* self = reinterpret_cast<EncoderWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  return self->onMessage(message, wParam);
}

void EncoderWindow::onInitDialog(HWND window) {
  window_ = window;
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  centreWindow(window_, nullptr);
  // Passwords are used as the bytes of the system's ANSI code page, as
  // talvek-cli takes a typed one; the fields hand them over in UTF-8.
  environment_.passwordCharset = localeCharset();
  environment_.passwordTextCharset = "UTF-8";
  dialog_ = std::make_unique<EncoderDialog>(*this, environment_);
  running_ = true;
  dialog_->OnInitDialog();
  running_ = false;
  ::PostMessageW(window_, kStartedMessage, 0, 0);
}

INT_PTR EncoderWindow::onMessage(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (isOptionButton(id)) {
        // The dialog manager checks a clicked option itself; the commands
        // read it when they run.
        keepOptionsOutOfTabOrder();
        return TRUE;
      }
      // Menus (0), accelerators (1) and clicked buttons (BN_CLICKED, 0); the
      // fields' notifications are not commands.
      if (code != 0 && code != 1) return FALSE;
      runCommand(id);
      return TRUE;
    }
    case WM_DROPFILES:
      onDropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_PAINT:
      if (!::IsIconic(window_)) return FALSE;
      paintIcon();
      return TRUE;
    case WM_QUERYDRAGICON:
      ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(bigIcon_));
      return TRUE;
    case WM_SETCURSOR:
      if (!setCursor()) return FALSE;
      ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_QUERYENDSESSION:
      // Whatever the answer, a job must not be cut off halfway.
      if (job_ != nullptr) {
        ending_ = true;
        job_->stopAndWait(kSessionEndJobWait);
      }
      ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) onEndSession();
      return TRUE;
    case kStartedMessage:
      // Jobs a crash interrupted are undone before anything else can run;
      // the warning then has the window to stand on.
      if (!running_ && dialog_ != nullptr) {
        running_ = true;
        dialog_->reportInterruptedJobs();
        running_ = false;
      }
      return TRUE;
    default:
      return FALSE;
  }
}

bool EncoderWindow::preTranslate(MSG& message) {
  if (window_ == nullptr) return false;
  if (accelerators_ != nullptr && ::TranslateAcceleratorW(window_, accelerators_, &message)) {
    return true;
  }
  return ::IsDialogMessageW(window_, &message) != FALSE;
}

int EncoderWindow::runMessageLoop() {
  // No dialog, no loop: nothing would ever end it.
  if (window_ == nullptr) return result_;
  MSG message;
  while (!ended_) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (!preTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return result_;
}

bool EncoderWindow::runCommand(int id) {
  if (running_ || ended_ || dialog_ == nullptr) return false;
  running_ = true;
  const bool handled = dialog_->onCommand(id);
  running_ = false;
  return handled;
}

void EncoderWindow::onDropFiles(HDROP drop) {
  // Only the first item counts; the drop is released whatever comes of it.
  std::string path;
  const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
  if (length > 0) {
    std::vector<wchar_t> buffer(length + 1);
    const UINT got = ::DragQueryFileW(drop, 0, buffer.data(), length + 1);
    path = utf8FromWide(buffer.data(), got);
  }
  ::DragFinish(drop);
  if (path.empty() || running_ || ended_ || dialog_ == nullptr) return;
  running_ = true;
  dialog_->onDropFiles({path});
  running_ = false;
}

void EncoderWindow::paintIcon() {
  PAINTSTRUCT paint;
  HDC device = ::BeginPaint(window_, &paint);
  ::SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(device), 0);
  const int width = ::GetSystemMetrics(SM_CXICON);
  const int height = ::GetSystemMetrics(SM_CYICON);
  RECT client;
  ::GetClientRect(window_, &client);
  ::DrawIcon(device, (client.right - width + 1) / 2, (client.bottom - height + 1) / 2, bigIcon_);
  ::EndPaint(window_, &paint);
}

bool EncoderWindow::setCursor() {
  if (!waiting_) return false;
  // With the progress box up, the busy cursor: its Cancel is to be clicked.
  const bool boxUp = job_ != nullptr && job_->progressBox() != nullptr;
  ::SetCursor(systemCursor(boxUp ? IDC_APPSTARTING : IDC_WAIT));
  return true;
}

void EncoderWindow::onEndSession() {
  ending_ = true;
  if (job_ != nullptr) job_->stopAndWait(kSessionEndJobWait);
  if (dialog_ != nullptr) dialog_->storeOption();
}

void EncoderWindow::keepOptionsOutOfTabOrder() {
  for (const int id : {IDC_USE_PASSWORD, IDC_USE_KEY_FILE}) {
    HWND button = ::GetDlgItem(window_, id);
    const LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
    if (style & WS_TABSTOP) ::SetWindowLongPtrW(button, GWL_STYLE, style & ~WS_TABSTOP);
  }
}

std::string EncoderWindow::controlText(int id) {
  HWND control = ::GetDlgItem(window_, id);
  if (control == nullptr) return {};
  const int length = ::GetWindowTextLengthW(control);
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
  const int got = ::GetWindowTextW(control, text.data(), length + 1);
  return utf8FromWide(text.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void EncoderWindow::setControlText(int id, const std::string& text) {
  ::SetDlgItemTextW(window_, id, wideFromUtf8(text).c_str());
}

bool EncoderWindow::isChecked(int id) {
  return ::IsDlgButtonChecked(window_, id) == BST_CHECKED;
}

void EncoderWindow::checkButton(int id) {
  ::CheckRadioButton(window_, IDC_USE_PASSWORD, IDC_USE_KEY_FILE, id);
  keepOptionsOutOfTabOrder();
}

int EncoderWindow::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
  // The session is ending: a box would only hold it up.
  if (ending_) return (flags & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  return boxes_.messageBox(window_, wideFromUtf8(text), wideFromUtf8(caption), flags);
}

void EncoderWindow::beginWaitCursor() {
  savedCursor_ = ::GetCursor();
  waiting_ = true;
  ::SetCursor(systemCursor(IDC_WAIT));
}

void EncoderWindow::restoreCursor() {
  waiting_ = false;
  ::SetCursor(savedCursor_);
}

void EncoderWindow::beep(unsigned type) {
  ::MessageBeep(type);
}

std::optional<std::string> EncoderWindow::openFileDialog(const FileDialogSpec& description) {
  return boxes_.fileDialog(window_, false, description);
}

std::optional<std::string> EncoderWindow::saveFileDialog(const FileDialogSpec& description) {
  return boxes_.fileDialog(window_, true, description);
}

bool EncoderWindow::runJob(const JobView& view, const JobWork& work) {
  BackgroundJob job(module_, window_, view, work);
  job_ = &job;
  struct Forget {
    BackgroundJob*& job;
    ~Forget() { job = nullptr; }
  } forget{job_};
  return job.run();
}

bool EncoderWindow::openDocument(const std::string& path) {
  // The opener may take a moment to say whether it could.
  WaitCursor cursor(*this);
  return boxes_.openDocument(window_, path);
}

void EncoderWindow::showAbout() {
  boxes_.about(window_);
}

void EncoderWindow::endDialog(int result) {
  result_ = result;
  ended_ = true;
  ::ShowWindow(window_, SW_HIDE);
}

}  // namespace talvek
