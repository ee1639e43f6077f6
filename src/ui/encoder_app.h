// The application object: records the file named on the command line, runs
// the main dialog modally with the accelerator hook in front of it, and ends
// when the dialog closes.
#pragma once

#include <string>

namespace talvek {

class OptionStorage;

// Makes the compiled-in pictures and icons available; EncoderApp does it too.
void initResources();

class EncoderApp {
 public:
  // argc and argv as main received them, after QApplication took its own
  // options out. options may be null (nothing is stored).
  EncoderApp(int argc, const char* const* argv, OptionStorage* options,
             std::string manualDirectory);

  // The file of the single command-line argument, or "".
  const std::string& commandLineFile() const { return commandLineFile_; }

  // Shows the dialog and returns once it closed; the result is the exit
  // status, always 0: the dialog's own result means nothing to anybody.
  // SIGINT, SIGTERM and SIGHUP close it too, but end the process by the
  // signal unless they only came once a job was past stopping.
  int run();

 private:
  std::string commandLineFile_;
  OptionStorage* options_;
  std::string manualDirectory_;
};

}  // namespace talvek
