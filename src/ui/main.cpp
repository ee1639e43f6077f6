// talvek: the desktop program, one modal dialog.
#include <QApplication>

#include <csignal>
#include <cstdio>

#include "platform/executable_path.h"
#include "settings/posix/desktop_export.h"
#include "settings/options_store.h"
#include "settings/registry_access.h"
#include "platform/user_dirs.h"
#include "ui/command_line.h"
#include "ui/encoder_app.h"
#include "ui/manual_location.h"
#include "ui/program_icon.h"
#include "ui/stored_options.h"

int main(int argc, char** argv) {
  // A file-size limit must fail the write, as a full disk does, rather than
  // end the program in the middle of a job.
  std::signal(SIGXFSZ, SIG_IGN);
  // Answered before Qt looks for a display, which it needs for nothing else.
  if (const auto answer = talvek::commandLineAnswer(argc, argv)) {
    std::fputs(answer->c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Talvek"));
  QApplication::setOrganizationName(QStringLiteral("Brellam"));
  // Lets the desktop match the window to its desktop entry and icon.
  QApplication::setDesktopFileName(QString::fromLatin1(talvek::kDesktopFileId));
  talvek::initResources();
  QApplication::setWindowIcon(talvek::programIcon());

  talvek::RegistryAccess registry(talvek::defaultRegistryLocation());
  talvek::OptionsStore store(registry, argc > 0 ? argv[0] : "",
                             [desktop = talvek::defaultDesktopExport()] {
                               talvek::exportDesktopAssociation(desktop);
                             });
  talvek::StoredOptions options(store);
  talvek::EncoderApp app(
      argc, argv, &options,
      talvek::manualDirectory(talvek::executableDirectory(), TALVEK_MANUAL_FROM_BIN));
  return app.run();
}
