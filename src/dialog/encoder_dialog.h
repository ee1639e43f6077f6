// The main dialog's logic: the command table and every command handler. It
// keeps no input of its own: every handler reads the controls afresh through
// the WindowSystem and shows each refusal as one message box.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialog/option_storage.h"
#include "dialog/stream_ends.h"
#include "dialog/window_system.h"
#include "job/transform_file.h"

namespace talvek {

// How a command that can be refused ended, for callers that report it
// (talvek-cli's exit status). The window ignores it.
enum class CommandResult {
  Done,       // the job or the key file was written
  Cancelled,  // a file dialog was cancelled; nothing was shown
  Refused,    // a warning was shown or the user answered No; nothing was written
  Failed,     // the job ran and failed; a warning said why
  Stopped,    // the job was stopped on request; nothing was shown or written
};

// The job a transform command runs; transformFile unless a test replaces it.
using TransformJob = std::function<bool(std::string source, std::string destination,
                                        std::string keyText, bool encode, bool overwrite,
                                        JobReport* report, const JobProgress& progress)>;

struct DialogEnvironment {
  // May be null: the dialog then starts with the password option and stores
  // nothing when it closes.
  OptionStorage* options = nullptr;
  // Where Manual.html is looked for: the running program's directory (with
  // or without a trailing '/').
  std::string programDirectory;
  // The file named on the command line, or "" (see commandLineFileFromArguments).
  std::string commandLineFile;
  // (The fields below have initialisers, so that brace lists naming only
  // the ones above stay free of missing-initialiser warnings.)
  // When not "", the password is turned from passwordTextCharset ("" for the
  // locale's) into this character set before use, so that a file encoded
  // where the system's code page was another can be decoded. iconv names.
  std::string passwordCharset{};
  std::string passwordTextCharset{};
  // Files that are never a valid destination, like the key file in use:
  // talvek-cli's password file.
  std::vector<std::string> protectedPaths{};
};

class EncoderDialog {
 public:
  EncoderDialog(WindowSystem& window, DialogEnvironment environment);
  virtual ~EncoderDialog() = default;
  EncoderDialog(const EncoderDialog&) = delete;
  EncoderDialog& operator=(const EncoderDialog&) = delete;

  // Runs the handler of a control, menu or accelerator command, or of IDOK
  // and IDCANCEL. False when the identifier has no handler.
  bool onCommand(int id);

  // Start and close.
  bool OnInitDialog();
  void OnOK();
  void OnCancel();
  // Stores the option as closing the dialog does, for a window that ends
  // without closing it (a stop signal).
  void storeOption();

  // Key commands.
  bool acquireKeyText(std::string& keyText);
  CommandResult onGenerateKey();

  // Undoes the jobs that a crash or a power cut interrupted while they wrote
  // a file in place, and says in one warning what became of each file. Each
  // front end runs it at every start, before any command.
  void reportInterruptedJobs();

  // Encode and Decode.
  CommandResult onEncode();
  CommandResult onDecode();
  CommandResult runTransformCommand(bool encode);
  bool checkSourceAndDestination(std::string& source, std::string& destination);

  // Encode or Decode with a stream at either end or both: the same checks,
  // order and messages, except the file checks of a stream end. `report`,
  // when given, receives the job's report. A reader that closed the output
  // stream gets no warning: the result is Failed with EPIPE in the report.
  CommandResult runStreamCommand(bool encode, const StreamEnds& ends, JobReport* report = nullptr);
  // The source and destination checks of runStreamCommand; `source` and
  // `destination` receive the field texts, or a stream end's name.
  bool checkStreamEnds(const StreamEnds& ends, std::string& source, std::string& destination);

  // File selection.
  void onOpenSource();
  void onSaveDestination();
  void onOpenKey();
  // The paths dropped on the window, in their order.
  virtual void onDropFiles(const std::vector<std::string>& paths);

  // Help.
  void onManual();
  void onAbout();

  // Replaces transformFile, so tests can make a job fail in each way.
  void setTransformJob(TransformJob job) { job_ = std::move(job); }

 private:
  void showWarning(const std::string& text);
  bool askYesNo(const std::string& text);
  void fillFromSource(const std::string& source);
  // What a job command checks before its job (source and destination, which
  // it fills in), and how it starts the job.
  using PathCheck = std::function<bool(std::string& source, std::string& destination)>;
  using JobStart =
      std::function<bool(const std::string& source, const std::string& destination,
                         std::string keyText, JobReport& report, const JobProgress& progress)>;
  // Which ends of a job are named files rather than streams.
  struct JobEnds {
    bool sourceIsFile = true;
    bool destinationIsFile = true;
  };
  // The road of every Encode and Decode: the key, the checks, the job under
  // the wait cursor, then the beep and any warning.
  CommandResult runJobCommand(bool encode, const PathCheck& check, const JobStart& start,
                              const JobEnds& ends, JobReport* report);
  bool checkSource(std::string& source);
  bool checkDestination(std::string& destination);
  // The key file in use or a protected path.
  bool isNeverADestination(const std::string& path);
  bool isNeverADestination(const FileInfo& file);

  WindowSystem& window_;
  DialogEnvironment environment_;
  TransformJob job_;
};

}  // namespace talvek
