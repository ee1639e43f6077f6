// The main dialog's window on Win32: IDD_MAIN made by the dialog manager
// from the program's own template. It implements the dialog logic's
// WindowSystem over the controls and the system's boxes, and turns buttons,
// menu entries, accelerators, Enter, Esc and drops into commands; every
// decision belongs to EncoderDialog.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dialog/encoder_dialog.h"
#include "dialog/window_system.h"

namespace talvek {

class BackgroundJob;

// The system's boxes, each replaceable so that tests answer them.
struct SystemBoxes {
  // MessageBoxW; returns its result.
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption,
                    unsigned flags)>
      messageBox;
  // GetOpenFileNameW or GetSaveFileNameW; nullopt when cancelled.
  std::function<std::optional<std::string>(HWND owner, bool save,
                                           const FileDialogSpec& description)>
      fileDialog;
  // ShellExecuteW's "open"; false when it failed.
  std::function<bool(HWND owner, const std::string& path)> openDocument;
  // The About box, modal.
  std::function<void(HWND owner)> about;

  static SystemBoxes real();
};

class EncoderWindow : public WindowSystem {
 public:
  // Creates the dialog from IDD_MAIN in `module`'s resources (shown, as its
  // template says) and runs OnInitDialog. `accelerators` may be null.
  EncoderWindow(HINSTANCE module, DialogEnvironment environment, HACCEL accelerators,
                SystemBoxes boxes = SystemBoxes::real());
  ~EncoderWindow() override;
  EncoderWindow(const EncoderWindow&) = delete;
  EncoderWindow& operator=(const EncoderWindow&) = delete;

  HWND handle() const { return window_; }
  EncoderDialog& dialog() { return *dialog_; }

  // The main loop's hook, for each message before it is dispatched: the
  // accelerators first, then the dialog manager's keys (Tab, mnemonics,
  // Enter, Esc). True when the message was consumed.
  bool preTranslate(MSG& message);
  // Gets and dispatches messages until the dialog ends (or WM_QUIT comes);
  // returns the dialog's result.
  int runMessageLoop();
  bool ended() const { return ended_; }
  int result() const { return result_; }

  // Runs one command of the dialog. Commands never nest: one that comes
  // while another runs (from inside its message box, say) is dropped.
  bool runCommand(int id);

  // The running job, or null: what the session's end stops.
  BackgroundJob* runningJob() const { return job_; }

  // WindowSystem.
  std::string controlText(int id) override;
  void setControlText(int id, const std::string& text) override;
  bool isChecked(int id) override;
  void checkButton(int id) override;
  int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void beginWaitCursor() override;
  void restoreCursor() override;
  void beep(unsigned type) override;
  std::optional<std::string> openFileDialog(const FileDialogSpec& description) override;
  std::optional<std::string> saveFileDialog(const FileDialogSpec& description) override;
  bool runJob(const JobView& job, const JobWork& work) override;
  bool openDocument(const std::string& path) override;
  void showAbout() override;
  void endDialog(int result) override;

 private:
  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR onMessage(UINT message, WPARAM wParam);
  void onInitDialog(HWND window);
  void onDropFiles(HDROP drop);
  void paintIcon();
  bool setCursor();
  // The session ends: a running job stops first, then the option is stored.
  void onEndSession();
  // Radio buttons get WS_TABSTOP from the system when they are checked; Tab
  // must never stop on them.
  void keepOptionsOutOfTabOrder();

  HINSTANCE module_;
  HWND window_ = nullptr;
  HACCEL accelerators_;
  SystemBoxes boxes_;
  DialogEnvironment environment_;
  std::unique_ptr<EncoderDialog> dialog_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HCURSOR savedCursor_ = nullptr;
  bool waiting_ = false;
  bool running_ = false;
  bool ended_ = false;
  bool ending_ = false;  // the session ends: no box may hold it up
  int result_ = 0;
  BackgroundJob* job_ = nullptr;
};

}  // namespace talvek
