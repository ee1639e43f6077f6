// The main dialog's window: the IDD_MAIN controls, the menu bar and file
// drops over Qt widgets. It implements the dialog logic's WindowSystem and
// turns buttons, menu entries, Enter, Esc and drops into commands; every
// decision belongs to EncoderDialog.
#pragma once

#include <QDialog>
#include <QHash>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "dialog/encoder_dialog.h"
#include "dialog/window_system.h"
#include "ui/desktop_opener.h"
#include "ui/dialog_units.h"
#include "ui/stop_signal_watcher.h"

class QAbstractButton;
class QMenuBar;
class QUrl;

namespace talvek {

class EncoderWindow : public QDialog, public WindowSystem {
  Q_OBJECT

 public:
  explicit EncoderWindow(DialogEnvironment environment, QWidget* parent = nullptr);
  ~EncoderWindow() override;

  EncoderDialog& dialog() { return *dialog_; }

  // Runs one command of the dialog. Commands never nest: one that arrives
  // while another runs (from inside its message box, say) is dropped.
  // Returns whether the command ran.
  bool runCommand(int id);
  bool commandRunning() const { return running_; }

  // The widget of a control identifier, or null.
  QWidget* control(int id) const { return controls_.value(id); }
  // Every control of the template, in template order (frames and labels too).
  const QList<QWidget*>& templateControls() const { return templateControls_; }
  QMenuBar* menuBar() const { return menuBar_; }
  DialogBaseUnits baseUnits() const { return base_; }
  QWidget* clientArea() const { return client_; }

  // How modal boxes run: message boxes, file dialogs and the About box.
  // Returns the dialog's result code. Tests answer them here.
  using ModalRunner = std::function<int(QDialog&)>;
  void setModalRunner(ModalRunner runner) { runModal_ = std::move(runner); }
  // How a document is handed to the desktop; a DesktopOpener by default.
  using DocumentOpener = std::function<bool(const QUrl&)>;
  void setDocumentOpener(DocumentOpener opener) { openUrl_ = std::move(opener); }

  // From now on SIGINT, SIGTERM and SIGHUP end the program as a close does
  // (see StopSignalWatcher); `endBySignal` ends the process.
  void watchStopSignals(StopSignalWatcher::EndBySignal endBySignal = StopSignals::endBy);

  // WindowSystem. The path fields (IDC_SOURCE, IDC_DESTINATION,
  // IDC_KEY_FILE) hand back the bytes they were given while they show them,
  // whether those spell text or not.
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

  // Esc, the close box and Alt+F4 end here: they are the dialog's IDCANCEL.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildControls();
  void buildMenu();
  // Puts the window, frame included, in the middle of its screen's work area.
  void centreInWorkArea();
  // Centres again once the frame is known, trying again a little later
  // while it is not.
  void centreOnceFramed(int triesLeft);
  std::optional<std::string> runFileDialog(bool save, const FileDialogSpec& description);
  // The button whose mnemonic is the typed character, or null.
  QAbstractButton* buttonWithMnemonic(const QString& typed) const;

  DialogBaseUnits base_;
  QMenuBar* menuBar_ = nullptr;
  QWidget* client_ = nullptr;
  QHash<int, QWidget*> controls_;
  QList<QWidget*> templateControls_;
  DesktopOpener desktop_;
  ModalRunner runModal_;
  DocumentOpener openUrl_;
  // What a path field was last given: its bytes and the text shown for them.
  struct GivenPath {
    std::string bytes;
    QString shown;
  };
  std::map<int, GivenPath> givenPaths_;
  bool running_ = false;
  bool initialised_ = false;
  std::unique_ptr<EncoderDialog> dialog_;
  std::unique_ptr<StopSignalWatcher> stopSignals_;
};

}  // namespace talvek
