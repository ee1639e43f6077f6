#include "ui/encoder_window.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "dialog/resource_ids.h"
#include "dialog/wait_cursor.h"
#include "dialog/window_constants.h"
#include "ui/about_dialog.h"
#include "ui/file_dialog.h"
#include "ui/job_runner.h"
#include "ui/main_template.h"
#include "ui/message_box.h"
#include "ui/path_text.h"
#include "ui/style_fit.h"
#include "ui/program_icon.h"
#include "ui/window_placement.h"

namespace talvek {
namespace {

// The local files among dropped URLs, in their order, as the file system's
// bytes.
std::vector<std::string> localPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (std::optional<std::string> path = localFileBytes(url)) paths.push_back(std::move(*path));
  }
  return paths;
}

// The fields that hold a file's path, as bytes.
bool isPathField(int id) {
  return id == IDC_SOURCE || id == IDC_DESTINATION || id == IDC_KEY_FILE;
}

// An option button outside the tab order. Qt makes the focused button of an
// exclusive group a tab stop; the template keeps both out of it.
class OptionButton : public QRadioButton {
 public:
  OptionButton(const QString& text, QWidget* parent) : QRadioButton(text, parent) {
    setFocusPolicy(Qt::ClickFocus);
  }

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QRadioButton::focusInEvent(event);
    setFocusPolicy(Qt::ClickFocus);
  }
};

QWidget* makeControl(const TemplateControl& entry, QWidget* parent) {
  const QString text = QString::fromUtf8(entry.text);
  switch (entry.kind) {
    case ControlKind::GroupBox:
      return new QGroupBox(text, parent);
    case ControlKind::Label: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      return label;
    }
    case ControlKind::Edit:
    case ControlKind::PasswordEdit: {
      auto* edit = new QLineEdit(parent);
      if (entry.kind == ControlKind::PasswordEdit) edit->setEchoMode(QLineEdit::Password);
      // Files dropped on a field belong to the dialog, as on the desktop the
      // template was made for.
      edit->setAcceptDrops(false);
      return edit;
    }
    case ControlKind::PushButton: {
      auto* button = new QPushButton(text, parent);
      // No default button: Enter on a button presses that button, Enter
      // anywhere else is the dialog's OK.
      button->setAutoDefault(false);
      button->setDefault(false);
      return button;
    }
    case ControlKind::RadioButton:
      return new OptionButton(text, parent);
  }
  return nullptr;
}

}  // namespace

EncoderWindow::EncoderWindow(DialogEnvironment environment, QWidget* parent)
    : QDialog(parent),
      runModal_([](QDialog& dialog) { return dialog.exec(); }),
      openUrl_(
          [this](const QUrl& url) { return desktop_.open(localFileBytes(url).value_or("")); }) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QString::fromUtf8(kMainCaption));
  setWindowIcon(programIcon());
  setFont(dialogFont());
  setAcceptDrops(true);
  base_ = baseUnitsOf(font());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  buildMenu();
  layout->setMenuBar(menuBar_);
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  client_->setFixedSize(unitsToPixels(QRect(QPoint(0, 0), mainDialogSize()), base_).size());
  layout->addWidget(client_);
  buildControls();

  dialog_ = std::make_unique<EncoderDialog>(*this, std::move(environment));
  dialog_->OnInitDialog();
}

EncoderWindow::~EncoderWindow() = default;

void EncoderWindow::buildMenu() {
  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName(QStringLiteral("menuBar"));
  // The menu keeps the desktop's menu font; only the client area uses the
  // dialog font.
  menuBar_->setFont(QApplication::font(menuBar_));
  QMenu* popup = nullptr;
  QString popupTitle;
  for (const MenuEntry& entry : mainMenu()) {
    if (popup == nullptr || popupTitle != QLatin1String(entry.popup)) {
      popupTitle = QString::fromUtf8(entry.popup);
      popup = menuBar_->addMenu(popupTitle);
      popup->setFont(menuBar_->font());
    }
    if (entry.text == nullptr) {
      popup->addSeparator();
      continue;
    }
    // The text after "\t" is only shown: the keys are the accelerator
    // table's, handled before any widget sees them.
    QAction* action = popup->addAction(QString::fromUtf8(entry.text));
    const int command = entry.command;
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
  }
}

void EncoderWindow::buildControls() {
  auto* options = new QButtonGroup(this);
  options->setExclusive(true);
  QList<QWidget*> frames;
  QWidget* previous = nullptr;
  for (const TemplateControl& entry : mainTemplate()) {
    QWidget* widget = makeControl(entry, client_);
    widget->setGeometry(fittedToStyle(*widget, unitsToPixels(entry.rect(), base_)));
    templateControls_ << widget;
    if (entry.kind == ControlKind::GroupBox) frames << widget;
    if (entry.id == kNoControl) continue;
    widget->setObjectName(QStringLiteral("control%1").arg(entry.id));
    controls_.insert(entry.id, widget);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      const int command = entry.id;
      connect(button, &QPushButton::clicked, this, [this, command] { runCommand(command); });
    }
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) options->addButton(radio, entry.id);
    // The option buttons hold their place in the chain without being tab
    // stops, so Tab from one goes on to Encode and Shift+Tab back to Open (F6).
    if (previous != nullptr) setTabOrder(previous, widget);
    previous = widget;
  }
  // Every control is drawn above the frames, whatever the template's order
  // and whatever a style paints inside a frame. Lowered last to first, the
  // frames keep their own order.
  for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) (*frame)->lower();
  // Screen readers name each field after its label.
  for (QWidget* widget : templateControls_) {
    auto* label = qobject_cast<QLabel*>(widget);
    if (label == nullptr) continue;
    for (const FieldLabel& entry : fieldLabels()) {
      if (label->text() != QString::fromUtf8(entry.label)) continue;
      QWidget* field = control(entry.field);
      label->setBuddy(field);
      field->setAccessibleName(QString::fromUtf8(entry.accessibleName));
    }
  }
}

bool EncoderWindow::runCommand(int id) {
  if (running_ || dialog_ == nullptr) return false;
  running_ = true;
  const bool handled = dialog_->onCommand(id);
  running_ = false;
  return handled;
}

std::string EncoderWindow::controlText(int id) {
  if (auto* edit = qobject_cast<QLineEdit*>(control(id))) {
    if (!isPathField(id)) return edit->text().toStdString();
    // Still showing what it was given: those bytes, which its text may not
    // spell. Typed or edited since: the text's own bytes.
    const auto given = givenPaths_.find(id);
    if (given != givenPaths_.end() && given->second.shown == edit->text())
      return given->second.bytes;
    return pathBytes(edit->text());
  }
  if (QWidget* widget = control(id)) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text().toStdString();
  }
  return {};
}

void EncoderWindow::setControlText(int id, const std::string& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(control(id))) {
    if (isPathField(id)) {
      const QString shown = pathText(text);
      edit->setText(shown);
      givenPaths_[id] = GivenPath{text, shown};
    } else {
      edit->setText(QString::fromStdString(text));
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(control(id))) {
    button->setText(QString::fromStdString(text));
  }
}

bool EncoderWindow::isChecked(int id) {
  auto* radio = qobject_cast<QRadioButton*>(control(id));
  return radio != nullptr && radio->isChecked();
}

void EncoderWindow::checkButton(int id) {
  // The exclusive group unchecks the other option.
  if (auto* radio = qobject_cast<QRadioButton*>(control(id))) radio->setChecked(true);
}

int EncoderWindow::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
  // The program is about to end on a signal: a box would only hold it up.
  if (stopSignals_ != nullptr && stopSignals_->ending()) {
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
  }
  std::unique_ptr<QMessageBox> box =
      makeMessageBox(this, QString::fromStdString(text), QString::fromStdString(caption), flags);
  runModal_(*box);
  return messageBoxAnswer(*box);
}

void EncoderWindow::beginWaitCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void EncoderWindow::restoreCursor() {
  QApplication::restoreOverrideCursor();
}

void EncoderWindow::beep(unsigned) {
  QApplication::beep();
}

std::optional<std::string> EncoderWindow::runFileDialog(bool save,
                                                        const FileDialogSpec& description) {
  const FileDialogRequest request{save,
                                  QString::fromStdString(description.filter),
                                  pathText(description.initialName),
                                  QString::fromStdString(description.defaultExtension),
                                  description.flags,
                                  pathText(description.initialDirectory)};
  std::unique_ptr<QFileDialog> dialog = makeFileDialog(this, request);
  const int code = runModal_(*dialog);
  const std::optional<QString> path = chosenPath(*dialog, code);
  if (!path) return std::nullopt;
  // Qt's dialog lists names as text already: one that is not UTF-8 comes
  // back with U+FFFD in it and names no file. Typing or dropping it works.
  return pathBytes(*path);
}

std::optional<std::string> EncoderWindow::openFileDialog(const FileDialogSpec& description) {
  return runFileDialog(false, description);
}

std::optional<std::string> EncoderWindow::saveFileDialog(const FileDialogSpec& description) {
  return runFileDialog(true, description);
}

bool EncoderWindow::runJob(const JobView& view, const JobWork& work) {
  BackgroundJob job(this, view, work);
  if (stopSignals_ == nullptr) return job.run();
  return stopSignals_->watchJob([&job] { return job.run(); }, [&job] { job.stop(); });
}

void EncoderWindow::watchStopSignals(StopSignalWatcher::EndBySignal endBySignal) {
  stopSignals_ = std::make_unique<StopSignalWatcher>(*dialog_, std::move(endBySignal));
}

bool EncoderWindow::openDocument(const std::string& path) {
  // The opener may take a moment to say whether it could.
  WaitCursor cursor(*this);
  return openUrl_(localFileUrl(path));
}

void EncoderWindow::showAbout() {
  AboutDialog about(this);
  runModal_(about);
}

void EncoderWindow::endDialog(int result) {
  done(result == IDOK ? Accepted : Rejected);
}

void EncoderWindow::reject() {
  runCommand(IDCANCEL);
}

void EncoderWindow::centreInWorkArea() {
  QWindow* handle = windowHandle();
  const QMargins frame = handle != nullptr ? handle->frameMargins() : QMargins();
  const QPoint corner = centredFramePosition(screen()->availableGeometry(), size(), frame);
  const QPoint client = corner + QPoint(frame.left(), frame.top());
  // Placed by its client area: move() would rely on a frame the widget may
  // not have heard of yet.
  if (handle != nullptr) {
    handle->setPosition(client);
  } else {
    move(client);
  }
}

void EncoderWindow::centreOnceFramed(int triesLeft) {
  if (windowHandle() == nullptr) return;
  // While the window manager is still framing the window, the margins read
  // as none or as nonsense; a frame has no negative side.
  const QMargins frame = windowHandle()->frameMargins();
  const bool known = !frame.isNull() && frame.left() >= 0 && frame.top() >= 0 &&
                     frame.right() >= 0 && frame.bottom() >= 0;
  if (known) {
    centreInWorkArea();
  } else if (triesLeft > 0) {
    QTimer::singleShot(50, this, [this, triesLeft] { centreOnceFramed(triesLeft - 1); });
  }
}

bool EncoderWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose) {
    // On the screen at last. Without a window manager there never is a
    // frame: a second's tries.
    watched->removeEventFilter(this);
    centreOnceFramed(20);
  }
  return QDialog::eventFilter(watched, event);
}

void EncoderWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!initialised_) {
    initialised_ = true;
    centreInWorkArea();
    if (QWindow* handle = windowHandle()) handle->installEventFilter(this);
    // The first tab stop starts with the focus.
    if (QWidget* source = control(IDC_SOURCE)) source->setFocus(Qt::ActiveWindowFocusReason);
    // Jobs a crash interrupted are undone before anything else can run; the
    // warning then has the window to stand on.
    QTimer::singleShot(0, this, [this] {
      if (running_ || dialog_ == nullptr) return;
      running_ = true;
      dialog_->reportInterruptedJobs();
      running_ = false;
    });
  }
}

void EncoderWindow::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && modifiers == Qt::NoModifier) {
    // Fields and option buttons pass Enter on; it arrives here.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
    } else {
      runCommand(IDOK);
    }
    event->accept();
    return;
  }
  // Outside a text field a bare mnemonic letter works as with Alt: the
  // dialog manager's way, so P and K pick an option from a focused button.
  const bool bare = (modifiers & ~Qt::ShiftModifier) == Qt::NoModifier;
  if (bare && qobject_cast<QLineEdit*>(focusWidget()) == nullptr) {
    if (QAbstractButton* button = buttonWithMnemonic(event->text())) {
      if (qobject_cast<QRadioButton*>(button) != nullptr) button->setFocus(Qt::ShortcutFocusReason);
      button->click();
      event->accept();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

QAbstractButton* EncoderWindow::buttonWithMnemonic(const QString& typed) const {
  if (typed.size() != 1 || !typed.front().isLetterOrNumber()) return nullptr;
  for (const TemplateControl& entry : mainTemplate()) {
    auto* button = qobject_cast<QAbstractButton*>(control(entry.id));
    if (button == nullptr || !button->isEnabled()) continue;
    const QString text = button->text();
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    if (amp >= 0 && amp + 1 < text.size() &&
        text[amp + 1].toCaseFolded() == typed.front().toCaseFolded()) {
      return button;
    }
  }
  return nullptr;
}

void EncoderWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!localPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

void EncoderWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!localPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

void EncoderWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = localPaths(event->mimeData());
  if (paths.empty() || running_ || dialog_ == nullptr) return;
  event->acceptProposedAction();
  running_ = true;
  dialog_->onDropFiles(paths);
  running_ = false;
}

}  // namespace talvek
