// The program as a user meets it: started with an encoded file as its one
// argument, the passwords typed, F9 pressed, the window closed with Esc.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include "dialog/resource_ids.h"
#include "job/transform_file.h"
#include "settings/options_store.h"
#include "settings/registry_access.h"
#include "temp_dir.h"
#include "ui/encoder_app.h"
#include "ui/encoder_window.h"
#include "ui/stored_options.h"

using namespace talvek;

class EndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void decodesTheFileNamedOnTheCommandLine() {
    test::TempDir dir;
    const std::string plain = "The quick brown fox\njumps over the lazy dog.\n";
    test::writeFile(dir.file("letter.txt"), plain);
    QVERIFY(
        transformFile(dir.file("letter.txt"), dir.file("letter.tc"), "open sesame", true, false));
    QVERIFY(QFile::remove(QString::fromStdString(dir.file("letter.txt"))));

    RegistryAccess registry(dir.file("registry.db"));
    OptionsStore store(registry, "talvek");
    StoredOptions options(store);
    const std::string encoded = dir.file("letter.tc");
    const char* argv[] = {"talvek", encoded.c_str()};
    EncoderApp app(2, argv, &options, dir.path());
    QCOMPARE(app.commandLineFile(), encoded);

    QStringList messages;
    bool typed = false;
    QTimer::singleShot(0, [&] {
      EncoderWindow* window = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<EncoderWindow*>(widget)) window = found;
      }
      QVERIFY(window != nullptr);
      window->setModalRunner([&](QDialog& box) {
        messages << box.windowTitle();
        return int{QDialog::Rejected};
      });
      QVERIFY(QTest::qWaitForWindowExposed(window));
      auto* source = qobject_cast<QLineEdit*>(window->control(IDC_SOURCE));
      auto* destination = qobject_cast<QLineEdit*>(window->control(IDC_DESTINATION));
      QCOMPARE(source->text(), QString::fromStdString(encoded));
      QCOMPARE(destination->text(), QString::fromStdString(dir.file("letter")));
      QCOMPARE(window->focusWidget(), source);
      QTest::keyClick(source, Qt::Key_Tab);  // to the Open button
      QTest::keyClicks(window->control(IDC_PASSWORD1), QStringLiteral("open sesame"));
      QTest::keyClicks(window->control(IDC_PASSWORD2), QStringLiteral("open sesame"));
      QTest::keyClick(window->control(IDC_PASSWORD2), Qt::Key_F9);
      typed = true;
      QTest::keyClick(window->control(IDC_PASSWORD2), Qt::Key_Escape);
    });
    QCOMPARE(app.run(), 0);
    QVERIFY(typed);
    QCOMPARE(messages, QStringList());
    QCOMPARE(test::readFile(dir.file("letter")), plain);
    QVERIFY(test::pathExists(encoded));

    // The password option, checked at start, was stored on the way out.
    std::uint32_t stored = 0;
    QCOMPARE(registry.readDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", stored),
             kErrorSuccess);
    QCOMPARE(stored, std::uint32_t{1009});
  }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
