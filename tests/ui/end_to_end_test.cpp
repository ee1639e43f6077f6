// The program as a user meets it: started with an encoded file as its one
// argument, the passwords typed, F9 pressed, the window closed with Esc; and
// as the system meets it, ended by a stop signal.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <csignal>
#include <thread>

#include "dialog/resource_ids.h"
#include "job/transform_file.h"
#include "settings/options_store.h"
#include "settings/registry_access.h"
#include "temp_dir.h"
#include "ui/encoder_app.h"
#include "ui/encoder_window.h"
#include "ui/stored_options.h"

using namespace talvek;

namespace {

// The exit status of a child, as waitpid gives it; -1 if it has not ended
// after a long while (it is then killed).
int waitLong(pid_t pid) {
  for (int i = 0; i < 12000; ++i) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

// Whether one byte came on fd within a long while (a hung child).
bool byteArrives(int fd) {
  pollfd p{fd, POLLIN, 0};
  char byte = 0;
  return ::poll(&p, 1, 60000) == 1 && ::read(fd, &byte, 1) == 1;
}

QString describeStatus(int status) {
  if (status == -1) return QStringLiteral("still running");
  if (WIFSIGNALED(status)) return QStringLiteral("ended by signal %1").arg(WTERMSIG(status));
  return QStringLiteral("exit status %1").arg(WEXITSTATUS(status));
}

}  // namespace

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

  void aStopSignalEndsTheWindowAsACloseDoes_data() {
    QTest::addColumn<QString>("mode");          // see signal_window_helper.cpp
    QTest::addColumn<int>("sent");              // once the window is ready; 0: the job raises it
    QTest::addColumn<int>("endedBy");           // 0: exit status 0
    QTest::addColumn<bool>("replaced");         // the destination holds the job's result
    QTest::addColumn<std::uint32_t>("option");  // stored on the way out
    QTest::newRow("SIGTERM mid-job") << "job" << SIGTERM << SIGTERM << false << 1009u;
    QTest::newRow("after the job's last moment to stop") << "last step" << 0 << 0 << true << 1009u;
    QTest::newRow("SIGTERM to the idle window") << "idle" << SIGTERM << SIGTERM << false << 1010u;
    QTest::newRow("SIGINT at the question") << "question" << SIGINT << SIGINT << false << 1009u;
  }

  void aStopSignalEndsTheWindowAsACloseDoes() {
    QFETCH(QString, mode);
    QFETCH(int, sent);
    QFETCH(int, endedBy);
    QFETCH(bool, replaced);
    QFETCH(std::uint32_t, option);
    test::TempDir dir;
    for (const char* name :
         {"home", "config", "state", "tmp", "data", "cache", "runtime", "work"}) {
      QVERIFY(QDir().mkpath(QString::fromStdString(dir.file(name))));
    }
    QCOMPARE(::chmod(dir.file("runtime").c_str(), 0700), 0);
    // A destination with two names is written where it stands, its old
    // bytes kept aside until the job is over.
    std::string plain;
    for (int i = 0; i < (1 << 20); ++i) plain += static_cast<char>(i * 7 + i / 251);
    const std::string source = dir.file("work/plain");
    const std::string destination = dir.file("work/plain.tc");
    test::writeFile(source, plain);
    test::writeFile(destination, "old bytes");
    QCOMPARE(::link(destination.c_str(), dir.file("work/second").c_str()), 0);

    int report[2];
    QCOMPARE(::pipe2(report, O_CLOEXEC), 0);
    const std::vector<std::string> arguments = {SIGNAL_WINDOW_HELPER, mode.toStdString(), source,
                                                destination, std::to_string(report[1])};
    std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen",
                                            "LC_ALL=C.UTF-8",
                                            "HOME=" + dir.file("home"),
                                            "XDG_CONFIG_HOME=" + dir.file("config"),
                                            "XDG_STATE_HOME=" + dir.file("state"),
                                            "XDG_DATA_HOME=" + dir.file("data"),
                                            "XDG_CACHE_HOME=" + dir.file("cache"),
                                            "XDG_RUNTIME_DIR=" + dir.file("runtime"),
                                            "TMPDIR=" + dir.file("tmp")};
    // A sanitizer's settings (suppressions, halting on a report) hold there too.
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string entry = *variable;
      if (entry.substr(0, entry.find('=')).ends_with("SAN_OPTIONS")) environment.push_back(entry);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string errors = dir.file("helper.err");

    const pid_t pid = ::fork();
    if (pid == 0) {
      const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (err < 0 || ::dup2(err, STDERR_FILENO) < 0) ::_exit(126);
      ::fcntl(report[1], F_SETFD, 0);  // the helper's own, across exec
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(report[1]);
    if (sent != 0) {
      const bool ready = byteArrives(report[0]);
      if (!ready) ::kill(pid, SIGKILL);
      ::kill(pid, sent);
    }
    const int status = waitLong(pid);
    ::close(report[0]);
    const bool ended = endedBy != 0 ? WIFSIGNALED(status) && WTERMSIG(status) == endedBy
                                    : WIFEXITED(status) && WEXITSTATUS(status) == 0;
    QVERIFY2(ended, qPrintable(describeStatus(status) + "\n" +
                               QString::fromStdString(test::readFile(errors))));

    struct stat first, second;
    QCOMPARE(::stat(destination.c_str(), &first), 0);
    QCOMPARE(::stat(dir.file("work/second").c_str(), &second), 0);
    QCOMPARE(first.st_ino, second.st_ino);
    QCOMPARE(first.st_nlink, nlink_t{2});
    if (replaced) {
      QVERIFY(transformFile(source, dir.file("expected"), "secret", true, false));
      QVERIFY(test::readFile(destination) == test::readFile(dir.file("expected")));
      QVERIFY(::unlink(dir.file("expected").c_str()) == 0);
    } else {
      QCOMPARE(test::readFile(destination), std::string("old bytes"));
    }
    // Nothing of the job anywhere; folders may stay.
    QCOMPARE(test::filesBelow(dir.file("work")),
             (std::set<std::string>{"plain", "plain.tc", "second"}));
    QCOMPARE(test::filesBelow(dir.file("tmp")), std::set<std::string>{});
    QCOMPARE(test::filesBelow(dir.file("state")), std::set<std::string>{});

    RegistryAccess registry(dir.file("config/Brellam/Talvek/registry.db"));
    std::uint32_t stored = 0;
    QCOMPARE(registry.readDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", stored),
             kErrorSuccess);
    QCOMPARE(stored, option);
  }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
