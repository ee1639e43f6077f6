#include "winui/encoder_app.h"

#include "dialog/resource_ids.h"
#include "dialog/start_up.h"
#include "winui/encoder_window.h"

namespace talvek {

EncoderApp::EncoderApp(HINSTANCE module, const std::vector<std::string>& arguments,
                       OptionStorage* options, std::string programDirectory)
    : module_(module), options_(options), programDirectory_(std::move(programDirectory)) {
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  commandLineFile_ = commandLineFileFromArguments(static_cast<int>(arguments.size()), argv.data());
}

int EncoderApp::run() {
  // Without the table the keys simply do nothing.
  HACCEL accelerators = ::LoadAcceleratorsW(module_, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  {
    EncoderWindow window(module_, DialogEnvironment{options_, programDirectory_, commandLineFile_},
                         accelerators);
    window.runMessageLoop();
  }
  if (accelerators != nullptr) ::DestroyAcceleratorTable(accelerators);
  return 0;
}

}  // namespace talvek
