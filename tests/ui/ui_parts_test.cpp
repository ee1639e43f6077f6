// The window's building blocks: dialog units, accelerator keys, message
// boxes from Windows flags, file dialogs from Windows filters, file URLs of
// any name, and where the manual is looked for.
#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "dialog/resource_ids.h"
#include "dialog/window_constants.h"
#include "temp_dir.h"
#include "ui/command_line.h"
#include "ui/dialog_units.h"
#include "ui/file_dialog.h"
#include "ui/main_template.h"
#include "ui/manual_location.h"
#include "ui/message_box.h"
#include "ui/path_text.h"
#include "ui/window_placement.h"

using namespace talvek;

class UiPartsTest : public QObject {
  Q_OBJECT

 private slots:
  void dialogUnitsRoundLikeTheDialogManager() {
    QCOMPARE(mulDiv(433, 7, 4), 758);   // 757.75
    QCOMPARE(mulDiv(157, 12, 8), 236);  // 235.5 rounds up
    QCOMPARE(mulDiv(69, 7, 4), 121);    // 120.75
    QCOMPARE(mulDiv(-3, 7, 4), -5);     // -5.25, symmetric about zero
    QCOMPARE(mulDiv(5, 1, 2), 3);
    QCOMPARE(mulDiv(-5, 1, 2), -3);
    QCOMPARE(mulDiv(1, 1, 0), -1);
    const DialogBaseUnits base{7, 12};
    QCOMPARE(unitsToPixels(QRect(69, 8, 304, 12), base), QRect(121, 12, 532, 18));
    // Each figure on its own: the right edge is not x + width converted.
    QCOMPARE(unitsToPixels(QRect(1, 1, 1, 1), base), QRect(2, 2, 2, 2));
  }

  void theDialogFontGivesTheBaseUnits() {
    const QFont font = dialogFont();
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("Liberation Mono"));
    const DialogBaseUnits base = baseUnitsOf(font);
    QCOMPARE(base.x, 7);
    QCOMPARE(base.y, 12);
    QFont larger = font;
    larger.setPointSize(16);
    QVERIFY(baseUnitsOf(larger).x > base.x);
    QVERIFY(baseUnitsOf(larger).y > base.y);
  }

  void acceleratorKeysMatchExactly() {
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::Key_F8)), ID_TASK_ENCODE);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::Key_F9)), ID_TASK_DECODE);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::ControlModifier, Qt::Key_Q)), ID_FILE_EXIT);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::Key_F5)), IDC_GENERATE_KEY);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::KeypadModifier, Qt::Key_F1)), ID_HELP_MANUAL);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::ShiftModifier, Qt::Key_F8)), 0);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::Key_Q)), 0);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Q)),
             0);
    QCOMPARE(acceleratorCommand(QKeyCombination(Qt::Key_F2)), 0);
    QCOMPARE(acceleratorTable().size(), size_t{8});
  }

  void windowsFiltersBecomeQtNameFilters() {
    QCOMPARE(qtNameFilters("All Files (*.*)|*.*|Talvek Encoded Files (*.tc)|*.tc|"),
             (QStringList{"All Files (*.*) (*)", "Talvek Encoded Files (*.tc) (*.tc)"}));
    QCOMPARE(qtNameFilters("Texts|*.txt;*.text|"), QStringList{"Texts (*.txt *.text)"});
    QCOMPARE(qtNameFilters("Half a pair|"), QStringList());
    QCOMPARE(qtNameFilters(""), QStringList());
  }

  void fileDialogsFollowTheirRequest() {
    auto open = makeFileDialog(nullptr, {false, "All Files (*.*)|*.*|Morva~Key Files (*.mk)|*.mk|",
                                         "*.*", "", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, ""});
    QCOMPARE(open->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(open->nameFilters().value(0), QStringLiteral("All Files (*.*) (*)"));
    QCOMPARE(open->selectedNameFilter(), QStringLiteral("All Files (*.*)"));  // as shown
    QVERIFY(open->testOption(QFileDialog::DontConfirmOverwrite));
    // The wildcard name stays out of the name box.
    QCOMPARE(open->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), QString());
    QCOMPARE(chosenPath(*open, QDialog::Rejected), std::nullopt);

    QCOMPARE(open->size(), QSize(800, 500));  // every column of the detail view has room

    test::TempDir dir;
    auto save = makeFileDialog(
        nullptr, {true, "Talvek Encoded Files (*.tc)|*.tc|All Files (*.*)|*.*|", "out", "tc",
                  OFN_HIDEREADONLY, QString::fromStdString(dir.path())});
    QCOMPARE(save->directory().absolutePath(), QString::fromStdString(dir.path()));
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(save->fileMode(), QFileDialog::AnyFile);
    QCOMPARE(save->defaultSuffix(), QStringLiteral("tc"));
    QCOMPARE(save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
             QStringLiteral("out"));
    save->selectFile(QStringLiteral("name.txt"));
    QCOMPARE(chosenPath(*save, QDialog::Accepted), QString::fromStdString(dir.file("name.txt")));
  }

  void messageBoxesFollowTheirFlags() {
    auto refusal =
        makeMessageBox(nullptr, "Invalid source!", "Warning", MB_OK | MB_ICONEXCLAMATION);
    QCOMPARE(refusal->windowTitle(), QStringLiteral("Warning"));
    QCOMPARE(refusal->text(), QStringLiteral("Invalid source!"));
    QCOMPARE(refusal->icon(), QMessageBox::Warning);
    QCOMPARE(refusal->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(messageBoxAnswer(*refusal), IDOK);

    auto question = makeMessageBox(nullptr, "Destination file exists.\nOverwrite it?", "Warning",
                                   MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
    QCOMPARE(question->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(question->defaultButton(), question->button(QMessageBox::No));
    QCOMPARE(question->textFormat(), Qt::PlainText);
    QCOMPARE(messageBoxAnswer(*question), IDNO);  // closed without an answer
    question->button(QMessageBox::Yes)->click();
    QCOMPARE(messageBoxAnswer(*question), IDYES);

    auto yesFirst = makeMessageBox(nullptr, "?", "Warning", MB_YESNO);
    QCOMPARE(yesFirst->defaultButton(), yesFirst->button(QMessageBox::Yes));
    QCOMPARE(makeMessageBox(nullptr, "", "", MB_ICONHAND)->icon(), QMessageBox::Critical);

    // A short text under a long caption: the box is as wide as the caption
    // needs in a title bar, more than Qt allows for on its own.
    const QString caption = QStringLiteral("Help Is Not Installed");
    auto help = makeMessageBox(nullptr, "No help is available!", caption, MB_OK | MB_ICONHAND);
    help->show();
    const int room = captionRoom(caption, help->font());
    QVERIFY(room > QFontMetrics(help->font()).horizontalAdvance(caption) + 50);
    QVERIFY2(help->width() >= room,
             qPrintable(QStringLiteral("%1 < %2").arg(help->width()).arg(room)));
    help->hide();
    QCOMPARE(makeMessageBox(nullptr, "", "", MB_ICONASTERISK)->icon(), QMessageBox::Information);
  }

  void windowsAreCentredInTheWorkAreaFrameIncluded() {
    // 758 x 255 with a 1, 20, 1, 1 frame on 1280 x 800: 760 x 276 in all.
    QCOMPARE(centredFramePosition(QRect(0, 0, 1280, 800), QSize(758, 255), QMargins(1, 20, 1, 1)),
             QPoint(260, 262));
    QCOMPARE(centredFramePosition(QRect(0, 0, 1280, 800), QSize(758, 255), QMargins()),
             QPoint(261, 272));
    // A second screen, with a panel along its top.
    QCOMPARE(
        centredFramePosition(QRect(1280, 32, 1920, 1048), QSize(758, 255), QMargins(1, 20, 1, 1)),
        QPoint(1280 + 580, 32 + 386));
    // Larger than the work area: the caption stays on the screen.
    QCOMPARE(centredFramePosition(QRect(0, 24, 640, 456), QSize(758, 500), QMargins(1, 20, 1, 1)),
             QPoint(0, 24));
  }

  void fileUrlsCarryEveryByteOfAName() {
    for (const std::string path : {"/tmp/plain.txt", "/tmp/a\xff\x80 \xc3\xa9%#?.txt", "/"}) {
      const QUrl url = localFileUrl(path);
      QVERIFY2(url.isValid() && url.isLocalFile(), path.c_str());
      QCOMPARE(localFileBytes(url), std::optional<std::string>(path));
    }
    QCOMPARE(localFileBytes(QUrl(QStringLiteral("https://example.org/x.tc"))), std::nullopt);
    QCOMPARE(localFileUrl("/tmp/plain.txt"), QUrl::fromLocalFile(QStringLiteral("/tmp/plain.txt")));
  }

  void theCommandLineAnswersOrNamesAFile() {
    const auto answer = [](std::initializer_list<const char*> args) {
      const std::vector<const char*> argv(args);
      return commandLineAnswer(static_cast<int>(argv.size()), argv.data());
    };
    QCOMPARE(answer({"talvek", "--version"}).value_or(""), std::string("talvek " TALVEK_VERSION "\n"));
    QVERIFY(answer({"talvek", "--help"}).value_or("").starts_with("Usage: talvek [FILE]\n"));
    QCOMPARE(answer({"talvek", "-h"}), answer({"talvek", "--help"}));
    // Anything else is the window's: a file, or arguments it ignores.
    QVERIFY(!answer({"talvek"}));
    QVERIFY(!answer({"talvek", "./--help"}));
    QVERIFY(!answer({"talvek", "--version", "x"}));

    QCOMPARE(commandLineFilePath("file:///home/u/a%20b%FF.tc"), std::string("/home/u/a b\xff.tc"));
    QCOMPARE(commandLineFilePath("report.doc.tc"), std::string("report.doc.tc"));
    QCOMPARE(commandLineFilePath("file:name"), std::string("file:name"));
    QCOMPARE(commandLineFilePath("file://"), std::string("file://"));
  }

  void theManualIsFoundBesideTheProgramOrInstalled() {
    test::TempDir dir;
    const std::string bin = dir.file("bin");
    const std::string share = dir.file("share/talvek");
    QVERIFY(QDir().mkpath(QString::fromStdString(bin)));
    QVERIFY(QDir().mkpath(QString::fromStdString(share + "/Manual.html")));  // a folder: no manual
    QCOMPARE(manualDirectory(bin, "../share/talvek"), bin);
    QVERIFY(QDir().rmdir(QString::fromStdString(share + "/Manual.html")));
    test::writeFile(share + "/Manual.html", "<html></html>");
    QCOMPARE(manualDirectory(bin, "../share/talvek"), bin + "/../share/talvek");
    test::writeFile(bin + "/Manual.html", "<html></html>");
    QCOMPARE(manualDirectory(bin, "../share/talvek"), bin);
  }
};

QTEST_MAIN(UiPartsTest)
#include "ui_parts_test.moc"
