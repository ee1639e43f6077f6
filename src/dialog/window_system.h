// What the dialog's logic needs from a window: its controls' texts and
// option buttons, message boxes, the cursor, the beep, file dialogs, the
// desktop's document opener and the end of the dialog. The Qt window and
// talvek-cli implement it; tests script it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "job/transform_file.h"

namespace talvek {

// A job about to run, for a window that shows its progress.
struct JobView {
  std::string source;
  std::string destination;
  bool encode = true;
};

// Does one job, calling `progress` now and then (which may ask it to stop);
// returns the job's result.
using JobWork = std::function<bool(const JobProgress& progress)>;

// An open or save file dialog.
struct FileDialogSpec {
  // Pairs of description and pattern, each followed by '|'; the first pair
  // is selected, e.g. "All Files (*.*)|*.*|Talvek Encoded Files (*.tc)|*.tc|".
  std::string filter;
  // The name proposed in the name field, e.g. "*.tc".
  std::string initialName;
  // Appended with a dot to a name chosen without an extension; "" for none.
  std::string defaultExtension;
  // OFN_* flags.
  unsigned flags = 0;
  // The folder the dialog opens in; "" leaves it to the window.
  std::string initialDirectory;

  bool operator==(const FileDialogSpec&) const = default;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The text of an edit control (IDC_SOURCE ...), exactly as it stands.
  virtual std::string controlText(int id) = 0;
  virtual void setControlText(int id, const std::string& text) = 0;

  // Option buttons IDC_USE_PASSWORD and IDC_USE_KEY_FILE. Checking one
  // unchecks the other.
  virtual bool isChecked(int id) = 0;
  virtual void checkButton(int id) = 0;

  // A modal message box owned by the dialog; flags are MB_* values. Returns
  // IDOK for MB_OK boxes, IDYES or IDNO for MB_YESNO boxes.
  virtual int messageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;

  // Remembers the current cursor and shows the wait cursor; restoreCursor
  // puts the remembered one back. Calls come in pairs, never nested.
  virtual void beginWaitCursor() = 0;
  virtual void restoreCursor() = 0;

  // The system sound for a MB_ICON* type (MB_ICONASTERISK ends every job).
  virtual void beep(unsigned type) = 0;

  // A full path when the user confirms a choice, nullopt when cancelled.
  virtual std::optional<std::string> openFileDialog(const FileDialogSpec& description) = 0;
  virtual std::optional<std::string> saveFileDialog(const FileDialogSpec& description) = 0;

  // Runs one job and returns its result. A window may run it on another
  // thread, show its progress and let the user stop it, but takes no input
  // meanwhile: nothing the user does during the job acts after it. The
  // default runs it at once on the calling thread and never stops it.
  virtual bool runJob(const JobView& job, const JobWork& work) {
    (void)job;
    return work(JobProgress{});
  }

  // Opens a document with the desktop's program for it; false on failure.
  virtual bool openDocument(const std::string& path) = 0;

  // Runs the About box modally.
  virtual void showAbout() = 0;

  // Closes the dialog with IDOK or IDCANCEL.
  virtual void endDialog(int result) = 0;

  // How a file's path is written inside a message. A terminal quotes a name
  // whose control characters would otherwise act on it; a window shows it.
  virtual std::string displayPath(const std::string& path) { return path; }
};

}  // namespace talvek
