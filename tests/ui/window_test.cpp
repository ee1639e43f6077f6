// The main window on the offscreen platform: its controls, keys, menus,
// drops, Help and About, with every modal box answered by the test.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "dialog/resource_ids.h"
#include "job/transform_file.h"
#include "child_process.h"
#include "scripted_window.h"
#include "temp_dir.h"
#include "ui/about_dialog.h"
#include "ui/accelerator_filter.h"
#include "ui/desktop_opener.h"
#include "ui/encoder_app.h"
#include "ui/main_template.h"
#include "ui/progress_dialog.h"

using namespace talvek;
using talvek::test::ScriptedWindow;

namespace {

bool showAndActivate(EncoderWindow& window) {
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

// The accelerator hook, installed for the life of one test.
class HookedWindow : public ScriptedWindow {
 public:
  explicit HookedWindow(const QString& programDirectory = {})
      : ScriptedWindow(programDirectory), filter_(&window()) {
    qApp->installEventFilter(&filter_);
  }
  ~HookedWindow() { qApp->removeEventFilter(&filter_); }

 private:
  AcceleratorFilter filter_;
};

QString filterLine(const QString& kind, const QString& filter) {
  return kind + ": " + filter;
}

// Waits on the job's thread until `ready` says so; false after a long while.
bool waitFor(const std::function<bool()>& ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Holds a job at its first reading in the middle of the file until the
// window asks it to stop, so it runs long enough to show its progress
// however fast the disk is. After a long while it lets the job go on.
JobProgress heldInTheMiddle(const JobProgress& progress) {
  return [&progress](uint64_t done, uint64_t total) {
    if (done == 0 || done >= total) return progress(done, total);
    return !waitFor([&] { return !progress(done, total); });
  };
}

void fillForEncode(ScriptedWindow& scripted, const std::string& source,
                   const std::string& destination) {
  scripted.setText(IDC_SOURCE, QString::fromStdString(source));
  scripted.setText(IDC_DESTINATION, QString::fromStdString(destination));
  scripted.setText(IDC_PASSWORD1, QStringLiteral("secret"));
  scripted.setText(IDC_PASSWORD2, QStringLiteral("secret"));
}

// Writes a shell script that stands in for the desktop's opener program.
bool writeOpener(const std::string& path, const std::string& script) {
  test::writeFile(path, "#!/bin/sh\n" + script + "\n");
  return ::chmod(path.c_str(), 0700) == 0;
}

// Hands the window's documents to `desktop` rather than to the trace.
void openDocumentsWith(ScriptedWindow& scripted, DesktopOpener& desktop) {
  scripted.window().setDocumentOpener(
      [&desktop](const QUrl& url) { return desktop.open(url.toLocalFile().toStdString()); });
}

const QString kAllFiles = QStringLiteral("All Files (*.*) (*)");
const QString kEncodedFiles = QStringLiteral("Talvek Encoded Files (*.tc) (*.tc)");
const QString kKeyFiles = QStringLiteral("Morva~Key Files (*.mk) (*.mk)");

}  // namespace

constexpr int kFrame = 5;

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { initResources(); }

  void controlsHaveTheirTextsAndConvertedGeometry() {
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Talvek v1.0.60"));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(QFontInfo(window.font()).family(), QStringLiteral("Liberation Mono"));
    // Liberation Mono 8 pt at 96 dpi: 11 px, letters 7 px wide, 12 px high.
    QCOMPARE(window.baseUnits().x, 7);
    QCOMPARE(window.baseUnits().y, 12);
    QCOMPARE(window.clientArea()->size(), QSize(758, 236));

    const QList<QWidget*>& widgets = window.templateControls();
    const auto controls = mainTemplate();
    QCOMPARE(widgets.size(), static_cast<qsizetype>(controls.size()));
    // In stacking order, bottom first: the frames lie below every control.
    const QList<QWidget*> stack =
        window.clientArea()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(stack.size(), widgets.size());
    for (size_t i = 0; i < controls.size(); ++i) {
      const TemplateControl& entry = controls[i];
      QWidget* widget = widgets[static_cast<qsizetype>(i)];
      QCOMPARE(widget->parentWidget(), window.clientArea());
      QCOMPARE(stack.indexOf(widget) < 4, entry.kind == ControlKind::GroupBox);
      QCOMPARE(widget->geometry(), unitsToPixels(entry.rect(), window.baseUnits()));
      if (entry.id != kNoControl) QCOMPARE(window.control(entry.id), widget);
      const QString text = QString::fromUtf8(entry.text);
      switch (entry.kind) {
        case ControlKind::GroupBox:
          QVERIFY(qobject_cast<QGroupBox*>(widget));
          break;
        case ControlKind::Label: {
          auto* label = qobject_cast<QLabel*>(widget);
          QCOMPARE(label->text(), text);
          // Each label names its field, for screen readers.
          QVERIFY(label->buddy() != nullptr);
          QVERIFY(qobject_cast<QLineEdit*>(label->buddy()));
          QVERIFY(qAbs(label->buddy()->geometry().center().y() - label->geometry().center().y()) <=
                  3);
          QCOMPARE(label->buddy()->accessibleName(),
                   text.left(text.indexOf(QLatin1Char('-'))).trimmed());
          break;
        }
        case ControlKind::Edit:
          QCOMPARE(qobject_cast<QLineEdit*>(widget)->echoMode(), QLineEdit::Normal);
          break;
        case ControlKind::PasswordEdit:
          QCOMPARE(qobject_cast<QLineEdit*>(widget)->echoMode(), QLineEdit::Password);
          break;
        case ControlKind::PushButton: {
          auto* button = qobject_cast<QPushButton*>(widget);
          QCOMPARE(button->text(), text);
          QVERIFY(!button->isDefault());
          QVERIFY(!button->autoDefault());
          break;
        }
        case ControlKind::RadioButton:
          QCOMPARE(qobject_cast<QRadioButton*>(widget)->text(), text);
          break;
      }
    }
    // A few by hand: the Source field, the Exit button, the second option.
    QCOMPARE(window.control(IDC_SOURCE)->geometry(), QRect(121, 12, 532, 18));
    QCOMPARE(window.control(IDC_EXIT)->geometry(), QRect(634, 209, 119, 24));
    QCOMPARE(window.control(IDC_USE_KEY_FILE)->geometry(), QRect(16, 183, 735, 15));
  }

  void aWideFramedStyleGrowsFieldsAndOptionsAboutTheirMiddle() {
    // Frames and indicators as wide as Adwaita's, on top of Fusion.
    struct WideStyle : QProxyStyle {
      WideStyle() : QProxyStyle(QStringLiteral("Fusion")) {}
      int pixelMetric(PixelMetric metric, const QStyleOption* option,
                      const QWidget* widget) const override {
        if (metric == PM_DefaultFrameWidth) return kFrame;
        if (metric == PM_ExclusiveIndicatorHeight) return 22;
        return QProxyStyle::pixelMetric(metric, option, widget);
      }
    };
    struct StyleRestored {
      QString name = QApplication::style()->name();
      ~StyleRestored() { QApplication::setStyle(name); }
    } restored;
    QApplication::setStyle(new WideStyle);
    {
      ScriptedWindow scripted;
      EncoderWindow& window = scripted.window();
      const auto controls = mainTemplate();
      for (size_t i = 0; i < controls.size(); ++i) {
        const TemplateControl& entry = controls[i];
        QWidget* widget = window.templateControls()[static_cast<qsizetype>(i)];
        const QRect planned = unitsToPixels(entry.rect(), window.baseUnits());
        const bool fits = entry.kind == ControlKind::Edit ||
                          entry.kind == ControlKind::PasswordEdit ||
                          entry.kind == ControlKind::RadioButton;
        if (!fits) {
          QCOMPARE(widget->geometry(), planned);
          continue;
        }
        QVERIFY(widget->height() > planned.height());
        QVERIFY(qAbs(widget->geometry().center().y() - planned.center().y()) <= 1);
        QCOMPARE(widget->x(), planned.x());
        QCOMPARE(widget->width(), planned.width());
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
          // A whole line of text, and a pixel above and below, inside the frame.
          QVERIFY(edit->height() - 2 * kFrame >= edit->fontMetrics().height() + 2);
        } else {
          QVERIFY(widget->height() >= 22);
        }
      }
    }
  }

  void tabVisitsTheTabStopsInTemplateOrder() {
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    QCOMPARE(window.focusWidget(), window.control(IDC_SOURCE));
    QList<int> visited;
    for (int i = 0; i < 12; ++i) {
      visited << window.control(IDC_SOURCE)->window()->focusWidget()->objectName().mid(7).toInt();
      QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    }
    const QList<int> expected = {
        IDC_SOURCE,          IDC_BROWSE_SOURCE, IDC_DESTINATION, IDC_BROWSE_DESTINATION,
        IDC_PASSWORD1,       IDC_PASSWORD2,     IDC_KEY_FILE,    IDC_GENERATE_KEY,
        IDC_BROWSE_KEY_FILE, IDC_ENCODE,        IDC_DECODE,      IDC_EXIT};
    QCOMPARE(visited, expected);
    QCOMPARE(window.focusWidget(), window.control(IDC_SOURCE));  // round again
  }

  void optionButtonsAreExclusiveAndReachedByMouseAndMnemonic() {
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    auto* password = test::controlAs<QRadioButton>(window, IDC_USE_PASSWORD);
    auto* keyFile = test::controlAs<QRadioButton>(window, IDC_USE_KEY_FILE);
    QVERIFY(password->isChecked());  // the stored option
    QTest::mouseClick(keyFile, Qt::LeftButton, {}, QPoint(5, keyFile->height() / 2));
    QVERIFY(keyFile->isChecked());
    QVERIFY(!password->isChecked());
    QCOMPARE(window.focusWidget(), keyFile);
    QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_P, Qt::AltModifier);
    QTRY_VERIFY(password->isChecked());
    QVERIFY(!keyFile->isChecked());
    QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_K, Qt::AltModifier);
    QTRY_VERIFY(keyFile->isChecked());
    // From a button the bare letter does it; in a field it is text.
    window.control(IDC_DECODE)->setFocus();
    QTest::keyClick(window.control(IDC_DECODE), Qt::Key_P);
    QVERIFY(password->isChecked());
    QCOMPARE(window.focusWidget(), password);
    QTest::keyClick(password, Qt::Key_K);
    QVERIFY(keyFile->isChecked());
    window.control(IDC_SOURCE)->setFocus();
    QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_P);
    QVERIFY(keyFile->isChecked());
    QCOMPARE(scripted.text(IDC_SOURCE), QStringLiteral("p"));
    QCOMPARE(password->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(keyFile->focusPolicy(), Qt::ClickFocus);
    // Tab from the last tab stop wraps to the first, past the options.
    window.control(IDC_EXIT)->setFocus();
    QTest::keyClick(window.control(IDC_EXIT), Qt::Key_Tab);
    QCOMPARE(window.focusWidget(), window.control(IDC_SOURCE));
    QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_Backtab);
    QCOMPARE(window.focusWidget(), window.control(IDC_EXIT));
  }

  void onItsFirstShowUndoesAJobACrashInterruptedAndSaysSo() {
    // A job killed while it wrote a file with two names in place.
    test::TempDir dir;
    const test::StateHomeOverride state(dir.file("state"));
    test::writeFile(dir.file("in"), std::string(1u << 20, 'i'));
    test::writeFile(dir.file("data"), "old bytes");
    QCOMPARE(::link(dir.file("data").c_str(), dir.file("data2").c_str()), 0);
    const int status = test::runInChild([&] {
      transformFile(dir.file("in"), dir.file("data"), "key", true, true, nullptr,
                    [](uint64_t done, uint64_t) {
                      if (done > 0) ::raise(SIGKILL);
                      return true;
                    });
      return 0;
    });
    QVERIFY(WIFSIGNALED(status));
    ScriptedWindow scripted;
    scripted.boxAnswers.push_back(QMessageBox::Ok);
    QVERIFY(scripted.trace.isEmpty());
    scripted.window().show();
    QTRY_COMPARE(scripted.boxes.size(), size_t{1});
    QCOMPARE(scripted.boxes[0].caption, QStringLiteral("Warning"));
    QVERIFY(scripted.boxes[0].text.startsWith(QStringLiteral("A job that was interrupted")));
    QCOMPARE(QString::fromStdString(test::readFile(dir.file("data2"))), QStringLiteral("old bytes"));
  }

  void startsWithTheStoredOptionAndTheCommandLineFile() {
    test::TempDir dir;
    test::writeFile(dir.file("data.TC"), "x");
    ScriptedWindow scripted({}, dir.file("data.TC"));
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("data.TC")));
    QCOMPARE(scripted.text(IDC_DESTINATION), QString::fromStdString(dir.file("data")));

    ScriptedWindow folder({}, dir.path());
    QCOMPARE(folder.text(IDC_SOURCE), QString());
    QCOMPARE(folder.text(IDC_DESTINATION), QString());
  }

  void acceleratorsRunTheirCommandFromEveryKindOfField_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("focus");
    QTest::addColumn<QString>("expected");
    struct Row {
      const char* name;
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      QString expected;
    };
    const Row rows[] = {
        {"F1", Qt::Key_F1, {}, QStringLiteral("message: No help is available!")},
        {"Ctrl+Q", Qt::Key_Q, Qt::ControlModifier, QStringLiteral("closed")},
        {"F8", Qt::Key_F8, {}, QStringLiteral("job: encode")},
        {"F9", Qt::Key_F9, {}, QStringLiteral("job: decode")},
        {"F3", Qt::Key_F3, {}, filterLine("open", kAllFiles + ";;" + kEncodedFiles)},
        {"F4", Qt::Key_F4, {}, filterLine("save", kEncodedFiles + ";;" + kAllFiles)},
        {"F5", Qt::Key_F5, {}, filterLine("save", kKeyFiles + ";;" + kAllFiles)},
        {"F6", Qt::Key_F6, {}, filterLine("open", kAllFiles + ";;" + kKeyFiles)},
    };
    const std::pair<const char*, int> fields[] = {{"edit", IDC_SOURCE},
                                                  {"password", IDC_PASSWORD2},
                                                  {"button", IDC_ENCODE},
                                                  {"option", IDC_USE_PASSWORD}};
    for (const Row& row : rows) {
      for (const auto& [kind, id] : fields) {
        QTest::addRow("%s in %s", row.name, kind)
            << static_cast<int>(row.key) << static_cast<int>(row.modifiers) << id << row.expected;
      }
    }
  }

  void acceleratorsRunTheirCommandFromEveryKindOfField() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, focus);
    QFETCH(QString, expected);
    test::TempDir dir;
    test::writeFile(dir.file("plain.txt"), "some bytes");
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    scripted.setText(IDC_SOURCE, QString::fromStdString(dir.file("plain.txt")));
    scripted.setText(IDC_DESTINATION, QString::fromStdString(dir.file("out.tc")));
    scripted.setText(IDC_PASSWORD1, QStringLiteral("pw"));
    scripted.setText(IDC_PASSWORD2, QStringLiteral("pw"));
    QVERIFY(showAndActivate(window));
    window.control(focus)->setFocus();
    QTest::keyClick(window.control(focus), static_cast<Qt::Key>(key),
                    static_cast<Qt::KeyboardModifiers>(modifiers));
    QStringList trace;
    for (const QString& line : scripted.trace) trace << line;
    for (const auto& record : scripted.fileDialogs) {
      trace.replaceInStrings(record.nameFilters.value(0),
                             record.nameFilters.join(QStringLiteral(";;")));
    }
    if (!window.isVisible()) trace << QStringLiteral("closed");
    QCOMPARE(trace, QStringList{expected});
    // The fields never saw the key.
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("plain.txt")));
    QCOMPARE(scripted.text(IDC_PASSWORD2), QStringLiteral("pw"));
  }

  void aKeyWhileABoxIsOpenStartsNoSecondCommand() {
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    scripted.whileOpen = [&](QDialog& box) {
      QTest::keyClick(&box, Qt::Key_F9);
      QTest::keyClick(window.control(IDC_PASSWORD1), Qt::Key_F8);
      QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_F3);
      QVERIFY(window.commandRunning());
    };
    QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_F8);  // no passwords: refused
    QCOMPARE(scripted.trace,
             QStringList{"message: <Password #1> and <Password #2> are not acceptable!"});
    QCOMPARE(scripted.boxes.size(), size_t{1});
    QCOMPARE(scripted.boxes[0].caption, QStringLiteral("Warning"));
    QCOMPARE(scripted.boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(scripted.boxes[0].buttons, QStringList{"Ok"});
    QVERIFY(!window.commandRunning());
  }

  void enterInAFieldOrOnAnOptionClosesAndStoresTheOption_data() {
    QTest::addColumn<int>("focus");
    QTest::addColumn<bool>("keyFileOption");
    QTest::newRow("source") << IDC_SOURCE << false;
    QTest::newRow("destination") << IDC_DESTINATION << true;
    QTest::newRow("password") << IDC_PASSWORD1 << false;
    QTest::newRow("key file") << IDC_KEY_FILE << true;
    QTest::newRow("option") << IDC_USE_KEY_FILE << true;
  }

  void enterInAFieldOrOnAnOptionClosesAndStoresTheOption() {
    QFETCH(int, focus);
    QFETCH(bool, keyFileOption);
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    if (keyFileOption) window.checkButton(IDC_USE_KEY_FILE);
    QVERIFY(showAndActivate(window));
    window.control(focus)->setFocus();
    QTest::keyClick(window.control(focus), Qt::Key_Return);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int{QDialog::Accepted});
    QCOMPARE(scripted.options().saves, std::vector<bool>{!keyFileOption});
    QVERIFY(scripted.trace.isEmpty());
  }

  void enterOnAPushButtonPressesThatButton() {
    test::TempDir dir;
    test::writeFile(dir.file("plain.txt"), "bytes");
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    scripted.setText(IDC_SOURCE, QString::fromStdString(dir.file("plain.txt")));
    scripted.setText(IDC_DESTINATION, QString::fromStdString(dir.file("plain.txt.tc")));
    scripted.setText(IDC_PASSWORD1, QStringLiteral("secret"));
    scripted.setText(IDC_PASSWORD2, QStringLiteral("secret"));
    QVERIFY(showAndActivate(window));
    window.control(IDC_ENCODE)->setFocus();
    QTest::keyClick(window.control(IDC_ENCODE), Qt::Key_Return);
    window.control(IDC_DECODE)->setFocus();
    QTest::keyClick(window.control(IDC_DECODE), Qt::Key_Enter, Qt::KeypadModifier);
    window.control(IDC_BROWSE_DESTINATION)->setFocus();
    QTest::keyClick(window.control(IDC_BROWSE_DESTINATION), Qt::Key_Return);
    QTest::keyClick(window.control(IDC_BROWSE_DESTINATION), Qt::Key_E);  // its mnemonic
    QCOMPARE(scripted.trace,
             (QStringList{"job: encode", "job: decode", "save: " + kEncodedFiles, "job: encode"}));
    QVERIFY(scripted.jobsUnderWaitCursor);
    QCOMPARE(QApplication::overrideCursor(), nullptr);  // restored after each
    QVERIFY(window.isVisible());
    QVERIFY(scripted.options().saves.empty());
    window.control(IDC_EXIT)->setFocus();
    QTest::keyClick(window.control(IDC_EXIT), Qt::Key_Return);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int{QDialog::Rejected});
  }

  void escCtrlQTheExitButtonAndTheCloseBoxClose_data() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"Esc", "Ctrl+Q", "Exit button", "close box", "Alt+X"}) {
      QTest::newRow(how) << QString::fromUtf8(how);
    }
  }

  void escCtrlQTheExitButtonAndTheCloseBoxClose() {
    QFETCH(QString, how);
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    window.checkButton(IDC_USE_KEY_FILE);
    QVERIFY(showAndActivate(window));
    QWidget* field = window.control(IDC_PASSWORD2);
    field->setFocus();
    if (how == "Esc") QTest::keyClick(field, Qt::Key_Escape);
    if (how == "Ctrl+Q") QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    if (how == "Exit button") QTest::mouseClick(window.control(IDC_EXIT), Qt::LeftButton);
    if (how == "close box") window.close();
    if (how == "Alt+X") QTest::keyClick(field, Qt::Key_X, Qt::AltModifier);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.result(), int{QDialog::Rejected});
    QCOMPARE(scripted.options().saves, std::vector<bool>{false});
  }

  void theMenusHoldTheirEntriesAndRunTheirCommands() {
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QStringList layout;
    QList<QAction*> commands;
    for (QAction* popup : window.menuBar()->actions()) {
      layout << popup->text();
      for (QAction* entry : popup->menu()->actions()) {
        layout << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
        if (!entry->isSeparator()) commands << entry;
        QVERIFY(entry->shortcut().isEmpty());  // the accelerators do the keys
      }
    }
    QCOMPARE(layout, (QStringList{"&File", "E&xit\tCtrl+Q", "&Task", "&Encode\tF8", "&Decode\tF9",
                                  "&Help", "&Manual\tF1", "-", "&About..."}));
    QList<int> ids;
    for (QAction* action : commands) ids << action->data().toInt();
    QCOMPARE(ids, (QList<int>{ID_FILE_EXIT, ID_TASK_ENCODE, ID_TASK_DECODE, ID_HELP_MANUAL,
                              ID_HELP_ABOUT}));

    QVERIFY(showAndActivate(window));
    commands[1]->trigger();  // Encode without passwords
    commands[3]->trigger();  // Manual, not installed
    commands[4]->trigger();  // About
    QCOMPARE(scripted.trace,
             (QStringList{"message: <Password #1> and <Password #2> are not acceptable!",
                          "message: No help is available!", "about"}));
    scripted.setText(IDC_PASSWORD1, QStringLiteral("pw"));
    scripted.setText(IDC_PASSWORD2, QStringLiteral("pw"));
    commands[2]->trigger();  // Decode, with no source
    QCOMPARE(scripted.trace.last(), QStringLiteral("message: Invalid source!"));
    QVERIFY(window.isVisible());
    commands[0]->trigger();  // Exit
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int{QDialog::Rejected});
    QCOMPARE(scripted.options().saves, std::vector<bool>{true});
  }

  void dropsFillTheSourceFromTheFirstFileOnly() {
    test::TempDir dir;
    for (const char* name : {"first.doc", "second.tc", "third"})
      test::writeFile(dir.file(name), "x");
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    auto drop = [&](const QList<QUrl>& urls) {
      QMimeData data;
      data.setUrls(urls);
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
      QApplication::sendEvent(&window, &enter);
      const bool accepted = enter.isAccepted();
      QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
      QApplication::sendEvent(&window, &event);
      return accepted;
    };
    auto url = [&](const char* name) {
      return QUrl::fromLocalFile(QString::fromStdString(dir.file(name)));
    };

    scripted.setText(IDC_DESTINATION, QStringLiteral("typed before"));
    QVERIFY(drop({url("first.doc"), url("second.tc"), url("third")}));
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("first.doc")));
    QCOMPARE(scripted.text(IDC_DESTINATION), QString::fromStdString(dir.file("first.doc.tc")));

    QVERIFY(drop({QUrl::fromLocalFile(QString::fromStdString(dir.path())), url("third")}));
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("first.doc")));

    QVERIFY(drop({QUrl(QStringLiteral("https://example.org/x.tc")), url("second.tc")}));
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("second.tc")));
    QCOMPARE(scripted.text(IDC_DESTINATION), QString::fromStdString(dir.file("second")));

    QVERIFY(!drop({QUrl(QStringLiteral("https://example.org/y"))}));
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("second.tc")));
    QVERIFY(scripted.trace.isEmpty());
    QVERIFY(window.control(IDC_SOURCE)->acceptDrops() == false);
  }

  void aNameThatIsNotUtf8FromTheCommandLineIsEncodedByteForByte() {
    test::TempDir dir;
    test::TmpdirOverride temporary(dir.file("tmp"));
    const std::string name = "a\xff\x80.txt";  // no UTF-8: shown with U+FFFD
    test::writeFile(dir.file(name), "plain bytes");
    ScriptedWindow scripted({}, dir.file(name));
    EncoderWindow& window = scripted.window();
    QCOMPARE(scripted.text(IDC_SOURCE),
             QFile::decodeName(QByteArray::fromStdString(dir.file(name))));
    QCOMPARE(window.controlText(IDC_DESTINATION), dir.file(name + ".tc"));
    scripted.setText(IDC_PASSWORD1, QStringLiteral("secret"));
    scripted.setText(IDC_PASSWORD2, QStringLiteral("secret"));
    window.dialog().setTransformJob(transformFile);
    QVERIFY(window.runCommand(IDC_ENCODE));
    QVERIFY(scripted.trace.isEmpty());
    QCOMPARE(test::entries(dir.path()), (std::set<std::string>{name, name + ".tc", "tmp"}));
    QVERIFY(transformFile(dir.file(name + ".tc"), dir.file("back"), "secret", false, false));
    QCOMPARE(test::readFile(dir.file("back")), std::string("plain bytes"));
  }

  void aDroppedNameThatIsNotUtf8FillsTheFieldsByteForByte() {
    test::TempDir dir;
    // A byte that is not UTF-8, and a character that is.
    const std::string name = dir.file("b\xfe \xc3\xa9%.tc");
    test::writeFile(name, "x");
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    QMimeData data;
    // As a file manager sends it: the path's bytes percent-encoded.
    data.setData(QStringLiteral("text/uri-list"),
                 "file://" + QByteArray::fromStdString(name).toPercentEncoding("/") + "\r\n");
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &drop);
    QCOMPARE(window.controlText(IDC_SOURCE), name);
    QCOMPARE(window.controlText(IDC_DESTINATION), dir.file("b\xfe \xc3\xa9%"));
    // Once edited, a field holds what its text says.
    scripted.edit(IDC_SOURCE)->end(false);
    QTest::keyClicks(scripted.edit(IDC_SOURCE), QStringLiteral("x"));
    QCOMPARE(window.controlText(IDC_SOURCE), dir.file("b\xef\xbf\xbd \xc3\xa9%.tcx"));
  }

  void fileDialogsAreConfiguredAndTheirChoiceFillsTheFields() {
    test::TempDir dir;
    test::writeFile(dir.file("report.doc"), "x");
    test::writeFile(dir.file("key.mk"), "secret key");
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    const QString directory = QString::fromStdString(dir.path());
    scripted.fileAnswers = {directory + "/report.doc", directory + "/chosen", std::nullopt,
                            directory + "/key.mk"};
    for (Qt::Key key : {Qt::Key_F3, Qt::Key_F4, Qt::Key_F6, Qt::Key_F6}) {
      QTest::keyClick(window.control(IDC_SOURCE), key);
    }
    QCOMPARE(scripted.text(IDC_SOURCE), directory + "/report.doc");
    QCOMPARE(scripted.text(IDC_DESTINATION), directory + "/chosen.tc");  // default extension
    QCOMPARE(scripted.text(IDC_KEY_FILE), directory + "/key.mk");
    QVERIFY(window.isChecked(IDC_USE_PASSWORD));

    QCOMPARE(scripted.fileDialogs.size(), size_t{4});
    const auto& open = scripted.fileDialogs[0];
    QCOMPARE(open.mode, QFileDialog::AcceptOpen);
    QCOMPARE(open.fileMode, QFileDialog::ExistingFile);
    QCOMPARE(open.selectedFilter, QStringLiteral("All Files (*.*)"));  // as the user sees it
    QCOMPARE(open.defaultSuffix, QString());
    const auto& save = scripted.fileDialogs[1];
    QCOMPARE(save.mode, QFileDialog::AcceptSave);
    QCOMPARE(save.fileMode, QFileDialog::AnyFile);
    QCOMPARE(save.selectedFilter, QStringLiteral("Talvek Encoded Files (*.tc)"));
    QCOMPARE(save.defaultSuffix, QStringLiteral("tc"));
    for (const auto& record : scripted.fileDialogs) {
      QVERIFY(record.options.testFlag(QFileDialog::DontConfirmOverwrite));
      QVERIFY(record.options.testFlag(QFileDialog::DontUseNativeDialog));
      QVERIFY(record.options.testFlag(QFileDialog::HideNameFilterDetails));
    }
  }

  void aFileDialogOpensInTheFolderOfItsField() {
    test::TempDir dir;
    QVERIFY(QDir().mkpath(QString::fromStdString(dir.file("sources"))));
    QVERIFY(QDir().mkpath(QString::fromStdString(dir.file("results"))));
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    scripted.setText(IDC_SOURCE, QString::fromStdString(dir.file("sources/a.doc")));
    scripted.setText(IDC_DESTINATION, QString::fromStdString(dir.file("results/a.doc.tc")));
    scripted.fileAnswers = {std::nullopt, std::nullopt};
    QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_F3);
    QTest::keyClick(window.control(IDC_SOURCE), Qt::Key_F4);
    QCOMPARE(scripted.fileDialogs.size(), size_t{2});
    QCOMPARE(scripted.fileDialogs[0].directory, QString::fromStdString(dir.file("sources")));
    QCOMPARE(scripted.fileDialogs[1].directory, QString::fromStdString(dir.file("results")));
  }

  void theManualOpensWhenPresentAndIsReportedWhenMissing() {
    test::TempDir dir;
    const QString manual = QString::fromStdString(dir.file("Manual.html"));
    HookedWindow scripted(QString::fromStdString(dir.path()));
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    QTest::keyClick(window.control(IDC_PASSWORD1), Qt::Key_F1);  // missing
    test::writeFile(manual.toStdString(), "<html></html>");
    QTest::keyClick(window.control(IDC_PASSWORD1), Qt::Key_F1);  // present
    scripted.documentOpens = false;                              // no program for HTML
    QTest::keyClick(window.control(IDC_PASSWORD1), Qt::Key_F1);
    QCOMPARE(scripted.trace,
             (QStringList{"message: No help is available!", "document: " + manual,
                          "document: " + manual, "message: No help is available!"}));
    for (const auto& box : scripted.boxes) {
      QCOMPARE(box.caption, QStringLiteral("Help Is Not Installed"));
      QCOMPARE(box.icon, QMessageBox::Critical);
      QCOMPARE(box.buttons, QStringList{"Ok"});
    }
  }

  void tabFromAnOptionButtonGoesOnInTemplateOrder() {
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    auto* password = test::controlAs<QRadioButton>(window, IDC_USE_PASSWORD);
    auto* keyFile = test::controlAs<QRadioButton>(window, IDC_USE_KEY_FILE);
    for (QRadioButton* option : {password, keyFile, password}) {
      QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, option->height() / 2));
      QCOMPARE(window.focusWidget(), option);
      QTest::keyClick(option, Qt::Key_Tab);
      QCOMPARE(window.focusWidget(), window.control(IDC_ENCODE));
      QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(5, option->height() / 2));
      QTest::keyClick(option, Qt::Key_Backtab);
      QCOMPARE(window.focusWidget(), window.control(IDC_BROWSE_KEY_FILE));
    }
    // Arrows still move between the two, and neither becomes a tab stop.
    QTest::mouseClick(password, Qt::LeftButton, {}, QPoint(5, password->height() / 2));
    QTest::keyClick(password, Qt::Key_Down);
    QCOMPARE(window.focusWidget(), keyFile);
    QVERIFY(keyFile->isChecked());
    QCOMPARE(password->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(keyFile->focusPolicy(), Qt::ClickFocus);
  }

  void theWindowStartsCentredInTheWorkArea() {
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    // Put in a corner first: Qt centres a dialog nobody has moved on its
    // own, and only the window's own placement should pass here.
    window.move(0, 0);
    QVERIFY(showAndActivate(window));
    const QRect area = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    QVERIFY2(qAbs(frame.center().x() - area.center().x()) <= 1,
             qPrintable(QString::number(frame.x())));
    QVERIFY2(qAbs(frame.center().y() - area.center().y()) <= 1,
             qPrintable(QString::number(frame.y())));
  }

  void aLongJobShowsItsProgressAndCancelLeavesTheDestinationAlone_data() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"Cancel", "Esc", "close box"}) QTest::newRow(how) << QString(how);
  }

  void aLongJobShowsItsProgressAndCancelLeavesTheDestinationAlone() {
    QFETCH(QString, how);
    test::TempDir dir;
    test::TmpdirOverride temporary(dir.file("tmp"));
    const std::string source = dir.file("big.bin");
    const std::string destination = dir.file("big.bin.tc");
    test::writeFile(source, std::string(20 << 20, 'x'));
    test::writeFile(destination, "old bytes");
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    fillForEncode(scripted, source, destination);
    scripted.boxAnswers = {QMessageBox::Yes};
    QVERIFY(showAndActivate(window));
    window.dialog().setTransformJob([](std::string from, std::string to, std::string key,
                                       bool encode, bool overwrite, JobReport* report,
                                       const JobProgress& progress) {
      return transformFile(from, to, key, encode, overwrite, report, heldInTheMiddle(progress));
    });
    QStringList seen;
    bool stayedUp = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, &window, [&] {
      auto* box = window.findChild<JobProgressDialog*>();
      if (box == nullptr || !box->isVisible() || !box->cancelButton()->isEnabled()) return;
      seen << box->windowTitle() << box->fileLabel()->text() << box->bar()->format();
      seen << (QApplication::activeModalWidget() == box ? "modal" : "modeless");
      if (how == "Cancel") QTest::mouseClick(box->cancelButton(), Qt::LeftButton);
      if (how == "Esc") QTest::keyClick(box, Qt::Key_Escape);
      if (how == "close box") box->close();
      seen << box->timeLeftLabel()->text();
      // Asking for the stop does not close the box: the job ends it.
      stayedUp = box->isVisible();
    });
    watcher.start(20);
    QVERIFY(window.runCommand(IDC_ENCODE));
    watcher.stop();
    QVERIFY(stayedUp);
    QCOMPARE(seen.size(), 5);
    QCOMPARE(seen.mid(0, 2), (QStringList{"Encoding", "big.bin"}));
    QVERIFY(seen[2].endsWith(QLatin1Char('%')));
    QCOMPARE(seen.mid(3), (QStringList{"modal", "Stopping..."}));
    // A stop the user asked for needs no warning.
    QCOMPARE(scripted.trace, QStringList{"message: Destination file exists.\nOverwrite it?"});
    QCOMPARE(test::readFile(destination), std::string("old bytes"));
    QCOMPARE(test::entries(dir.path()), (std::set<std::string>{"big.bin", "big.bin.tc", "tmp"}));
    QVERIFY(test::entries(dir.file("tmp")).empty());
    QCOMPARE(window.findChild<JobProgressDialog*>(), nullptr);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void inputDuringAJobActsNeitherThenNorAfterIt() {
    test::TempDir dir;
    test::writeFile(dir.file("plain.txt"), "bytes");
    HookedWindow scripted;
    EncoderWindow& window = scripted.window();
    fillForEncode(scripted, dir.file("plain.txt"), dir.file("out.tc"));
    QVERIFY(showAndActivate(window));
    QWidget* exitButton = window.control(IDC_EXIT);
    auto* source = scripted.edit(IDC_SOURCE);
    std::atomic<bool> inputGiven{false};
    std::atomic<int> jobs{0};
    std::vector<QEvent*> late;
    window.dialog().setTransformJob([&](std::string, std::string, std::string, bool, bool,
                                        JobReport*, const JobProgress& progress) {
      ++jobs;
      if (!waitFor([&] { return inputGiven.load(); })) return false;
      // Input still queued when the job ends: at a low priority it comes
      // after the job's own end, as input the window system still holds.
      for (QEvent* event : late) {
        QObject* target = event->type() == QEvent::KeyPress ? static_cast<QObject*>(source)
                                                            : static_cast<QObject*>(exitButton);
        QCoreApplication::postEvent(target, event, Qt::LowEventPriority);
      }
      return progress(1, 1);
    });
    QTimer::singleShot(50, &window, [&] {
      const QPointF centre = QPointF(exitButton->rect().center());
      const QPointF global = exitButton->mapToGlobal(centre);
      late = {new QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q")),
              new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier),
              new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                              Qt::NoButton, Qt::NoModifier)};
      QTest::mouseClick(exitButton, Qt::LeftButton);
      QTest::keyClicks(source, QStringLiteral("typed"));
      for (auto [key, modifiers] : {std::pair{Qt::Key_Escape, Qt::NoModifier},
                                    {Qt::Key_X, Qt::AltModifier},
                                    {Qt::Key_F9, Qt::NoModifier},
                                    {Qt::Key_Q, Qt::ControlModifier},
                                    {Qt::Key_Return, Qt::NoModifier}}) {
        QTest::keyClick(source, key, modifiers);
      }
      inputGiven = true;
    });
    QTest::keyClick(window.control(IDC_PASSWORD2), Qt::Key_F8);
    QCoreApplication::processEvents();  // what was kept for later would act now
    QCOMPARE(jobs.load(), 1);
    QVERIFY(window.isVisible());
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("plain.txt")));
    QVERIFY(scripted.trace.isEmpty());
    QVERIFY(scripted.options().saves.empty());
    // Once the job is over the window takes input again.
    QTest::keyClick(source, Qt::Key_End);
    QTest::keyClicks(source, QStringLiteral("x"));
    QCOMPARE(scripted.text(IDC_SOURCE), QString::fromStdString(dir.file("plain.txt")) + "x");
  }

  void theManualIsReportedWhenTheOpenerCannotShowIt_data() {
    QTest::addColumn<QString>("script");  // empty: no such program
    QTest::addColumn<bool>("shown");
    QTest::newRow("shown") << "exit 0" << true;
    QTest::newRow("no program for HTML") << "exit 3" << false;
    QTest::newRow("failed") << "exit 4" << false;
    QTest::newRow("killed") << "kill -KILL $$" << false;
    QTest::newRow("no opener") << "" << false;
  }

  void theManualIsReportedWhenTheOpenerCannotShowIt() {
    QFETCH(QString, script);
    QFETCH(bool, shown);
    test::TempDir dir;
    const std::string manual = dir.file("Manual.html");
    test::writeFile(manual, "<html></html>");
    const std::string opener = dir.file("opener");
    if (!script.isEmpty()) {
      QVERIFY(writeOpener(opener, "echo \"$1\" > \"$0.args\"\n" + script.toStdString()));
    }
    DesktopOpener desktop(opener, std::chrono::seconds(30));
    ScriptedWindow scripted(QString::fromStdString(dir.path()));
    openDocumentsWith(scripted, desktop);
    scripted.window().runCommand(ID_HELP_MANUAL);
    QCOMPARE(scripted.trace, shown ? QStringList() : QStringList{"message: No help is available!"});
    if (!script.isEmpty()) QCOMPARE(test::readFile(opener + ".args"), manual + "\n");
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }

  void anOpenerStillRunningAfterAWhileHasShownTheManualAndKeepsRunning() {
    test::TempDir dir;
    test::writeFile(dir.file("Manual.html"), "<html></html>");
    const std::string opener = dir.file("opener");
    // Like an opener that waits for the viewer to close.
    QVERIFY(writeOpener(opener, "echo $$ > \"$0.pid\"\nexec sleep 60"));
    DesktopOpener desktop(opener, std::chrono::milliseconds(300));
    ScriptedWindow scripted(QString::fromStdString(dir.path()));
    openDocumentsWith(scripted, desktop);
    scripted.window().runCommand(ID_HELP_MANUAL);
    QVERIFY(scripted.trace.isEmpty());
    QFile pidFile(QString::fromStdString(opener + ".pid"));
    QTRY_VERIFY(pidFile.size() > 1);
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pidFile.readAll().trimmed().toInt();
    QCOMPARE(::kill(pid, 0), 0);  // left running
    QCOMPARE(::kill(pid, SIGKILL), 0);
    QCOMPARE(::waitpid(pid, nullptr, 0), pid);
  }

  void aboutOpensAndCloses_data() {
    QTest::addColumn<QString>("how");
    for (const char* how : {"OK", "Enter", "Esc", "close box"}) QTest::newRow(how) << QString(how);
  }

  void aboutOpensAndCloses() {
    QFETCH(QString, how);
    ScriptedWindow scripted;
    EncoderWindow& window = scripted.window();
    QVERIFY(showAndActivate(window));
    // Seen while the box is open; compared once it has closed, so a
    // mismatch cannot leave it open.
    QString caption;
    QSize size, artSize, pictureSize, pictureRoom;
    QRect pictureFrame;
    QList<QWidget*> tabStops;
    QWidget* focus = nullptr;
    QPushButton* ok = nullptr;
    window.setModalRunner([&](QDialog& dialog) {
      auto* about = qobject_cast<AboutDialog*>(&dialog);
      if (about == nullptr) return int{QDialog::Rejected};
      QTimer::singleShot(0, about, [&, about] {
        caption = about->windowTitle();
        size = about->size();
        artSize = about->artSize();
        pictureSize = about->picture()->pixmap().size();
        pictureRoom = about->picture()->contentsRect().size();
        pictureFrame = about->picture()->geometry();
        focus = about->focusWidget();
        ok = about->okButton();
        for (QWidget* w = about->nextInFocusChain(); w != about; w = w->nextInFocusChain()) {
          if (w->focusPolicy() & Qt::TabFocus) tabStops << w;
        }
        if (how == "OK") QTest::mouseClick(about->okButton(), Qt::LeftButton);
        if (how == "Enter") QTest::keyClick(about->okButton(), Qt::Key_Return);
        if (how == "Esc") QTest::keyClick(about->okButton(), Qt::Key_Escape);
        if (how == "close box") about->close();
      });
      return dialog.exec();
    });
    window.runCommand(ID_HELP_ABOUT);
    QCOMPARE(caption, QStringLiteral("About Talvek"));
    QCOMPARE(size, QSize(303, 251));
    QCOMPARE(artSize, QSize(300, 250));
    // Shrunk to the frame's height, the picture keeps its proportions.
    QCOMPARE(pictureSize.height(), pictureRoom.height());
    QVERIFY(pictureSize.width() <= pictureRoom.width());
    QCOMPARE(pictureSize.width(), pictureRoom.height() * 300 / 250);
    QCOMPARE(pictureFrame, QRect(2, 2, 299, 216));
    QCOMPARE(focus, ok);
    QCOMPARE(tabStops, QList<QWidget*>{ok});
    QVERIFY(window.isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
