// A dialog over a FakeWindow in a private temporary directory, which is also
// the job's TMPDIR, with helpers to fill in the fields.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <memory>
#include <string>

#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"
#include "fake_window.h"
#include "temp_dir.h"

namespace talvek::test {

class RecordingOptions : public OptionStorage {
 public:
  int stored = IDC_USE_PASSWORD;
  std::vector<bool> saves;
  int loadOptType() override { return stored; }
  void saveOptType(bool passwordChecked) override { saves.push_back(passwordChecked); }
};

class DialogTest : public ::testing::Test {
 protected:
  DialogTest();

  void usePasswords(const std::string& first, const std::string& second);
  void useKeyFile(const std::string& path);
  void setPaths(const std::string& source, const std::string& destination);
  // The messages shown, as "caption|flags|text" strings.
  std::vector<std::string> shown() const;

  TempDir dir_;
  FakeWindow window_;
  RecordingOptions options_;
  std::unique_ptr<EncoderDialog> dialog_;

 private:
  // Temporary files and journals go to directories of the test's own.
  TmpdirOverride tmpdir_{dir_.file("tmp")};
  StateHomeOverride stateHome_{dir_.file("state")};
};

// Makes writes past `bytes` fail in this process, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t oldHandler_;
};

std::string message(const std::string& caption, unsigned flags, const std::string& text);

}  // namespace talvek::test
