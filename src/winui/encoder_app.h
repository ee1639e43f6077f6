// The application object: records the file named on the command line, loads
// the accelerator table, runs the main dialog with the accelerator hook in
// front of the dialog's own keyboard handling, and ends when it closes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace talvek {

class OptionStorage;

class EncoderApp {
 public:
  // `arguments` as the C runtime parsed the command line, the program's
  // own name first. options may be null (nothing is stored).
  EncoderApp(HINSTANCE module, const std::vector<std::string>& arguments, OptionStorage* options,
             std::string programDirectory);

  // The file of the single command-line argument, or "".
  const std::string& commandLineFile() const { return commandLineFile_; }

  // Shows the dialog and returns once it closed; the exit status, always 0:
  // the dialog's own result means nothing to anybody.
  int run();

 private:
  HINSTANCE module_;
  std::string commandLineFile_;
  OptionStorage* options_;
  std::string programDirectory_;
};

}  // namespace talvek
