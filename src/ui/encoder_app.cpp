#include "ui/encoder_app.h"

#include <QApplication>

#include "dialog/start_up.h"
#include "ui/command_line.h"
#include "ui/accelerator_filter.h"
#include "ui/encoder_window.h"

// Q_INIT_RESOURCE names a global function; it must be called outside any
// namespace.
static void initTalvekResources() {
  Q_INIT_RESOURCE(talvek);
}

namespace talvek {

void initResources() {
  initTalvekResources();
}

EncoderApp::EncoderApp(int argc, const char* const* argv, OptionStorage* options,
                       std::string manualDirectory)
    : commandLineFile_(commandLineFilePath(commandLineFileFromArguments(argc, argv))),
      options_(options),
      manualDirectory_(std::move(manualDirectory)) {
  initResources();
}

int EncoderApp::run() {
  EncoderWindow window(DialogEnvironment{options_, manualDirectory_, commandLineFile_});
  window.watchStopSignals();
  AcceleratorFilter accelerators(&window);
  qApp->installEventFilter(&accelerators);
  window.exec();
  qApp->removeEventFilter(&accelerators);
  return 0;
}

}  // namespace talvek
