// The program's window in a process of its own, for end_to_end_test to send
// stop signals to: started as talvek is, with the store under
// $XDG_CONFIG_HOME, the fields filled through the WindowSystem and, for the
// job cases, Encode run on a job that says when it is under way.
//
//   signal_window_helper MODE SOURCE DESTINATION REPORT_FD
//
// MODE: "idle"      the window waits, the key-file option checked;
//       "question"  Encode waits at the overwrite question;
//       "job"       Encode's job holds mid-way until the window stops it;
//       "last step" the job raises SIGTERM itself after its last moment to
//                   stop, and completes.
// One byte on REPORT_FD says the window (or its box, or its job) is ready
// for the signal.
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "dialog/resource_ids.h"
#include "job/transform_file.h"
#include "settings/options_store.h"
#include "settings/registry_access.h"
#include "platform/user_dirs.h"
#include "ui/encoder_app.h"
#include "ui/encoder_window.h"
#include "ui/stored_options.h"

using namespace talvek;

namespace {

void report(int fd) {
  const char byte = 'u';
  if (::write(fd, &byte, 1) != 1) ::_exit(3);
}

// Reports the job under way at its first reading mid-file, then holds it
// there until the window asks it to stop; after a long while it goes on.
JobProgress heldMidway(const JobProgress& progress, int reportFd) {
  return [&progress, reportFd, reported = false](uint64_t done, uint64_t total) mutable {
    if (done == 0 || done >= total) return progress(done, total);
    if (!reported) report(reportFd);
    reported = true;
    for (int i = 0; i < 6000; ++i) {
      if (!progress(done, total)) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  };
}

// At the job's last reading, its last moment to stop, the signal comes; the
// job is told to go on whatever the window has heard by then.
JobProgress signalledAtTheEnd(const JobProgress& progress) {
  return [&progress, raised = false](uint64_t done, uint64_t total) mutable {
    if (raised) return true;
    if (total == 0 || done < total) return progress(done, total);
    raised = true;
    ::raise(SIGTERM);
    return true;
  };
}

EncoderWindow* programWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = qobject_cast<EncoderWindow*>(widget)) return window;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 5) return 2;
  const std::string mode = argv[1];
  const std::string source = argv[2];
  const std::string destination = argv[3];
  const int reportFd = std::stoi(argv[4]);

  RegistryAccess registry(defaultRegistryLocation());
  OptionsStore store(registry, argv[0]);
  StoredOptions options(store);
  const char* const programArguments[] = {argv[0]};
  EncoderApp app(1, programArguments, &options, "");
  QTimer::singleShot(0, [&] {
    EncoderWindow* window = programWindow();
    if (window == nullptr) ::_exit(4);
    if (mode == "idle") {
      window->checkButton(IDC_USE_KEY_FILE);
      report(reportFd);
      return;
    }
    window->setControlText(IDC_SOURCE, source);
    window->setControlText(IDC_DESTINATION, destination);
    window->setControlText(IDC_PASSWORD1, "secret");
    window->setControlText(IDC_PASSWORD2, "secret");
    if (mode == "question") {
      // Reported once the box is up and waiting for an answer.
      auto* poll = new QTimer(window);
      QObject::connect(poll, &QTimer::timeout, [poll, reportFd] {
        if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) == nullptr) return;
        poll->stop();
        report(reportFd);
      });
      poll->start(10);
    } else {
      window->setModalRunner([](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        if (box == nullptr || box->button(QMessageBox::Yes) == nullptr) return 0;
        box->button(QMessageBox::Yes)->click();
        return int{QMessageBox::Yes};
      });
      const bool atTheEnd = mode == "last step";
      window->dialog().setTransformJob(
          [atTheEnd, reportFd](std::string from, std::string to, std::string key, bool encode,
                               bool overwrite, JobReport* result, const JobProgress& progress) {
            return transformFile(
                std::move(from), std::move(to), std::move(key), encode, overwrite, result,
                atTheEnd ? signalledAtTheEnd(progress) : heldMidway(progress, reportFd));
          });
    }
    window->runCommand(IDC_ENCODE);
  });
  return app.run();
}
