// Shared fixture of the settings tests: HOME and the XDG directories point
// into a private temporary directory for the test's whole run, so nothing
// touches the real store or desktop.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "temp_dir.h"

namespace talvek::test {

// Sets or clears environment variables and puts the old values back.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void set(const std::string& name, const std::string& value);
  void unset(const std::string& name);

 private:
  void remember(const std::string& name);
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

// Points HOME and the XDG directories into dir, as SettingsTest does.
void pointHomeInto(const std::string& dir, ScopedEnvironment& env);

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest();

  // Where defaultRegistryLocation() points under the temporary home.
  std::string storePath() const { return temp_.path() + "/config/Brellam/Talvek/registry.db"; }
  std::string dataHome() const { return temp_.path() + "/data"; }

  TempDir temp_;
  ScopedEnvironment env_;
};

struct CommandOutput {
  int status = -1;  // exit status, or -1 when it did not run or exit
  std::string output;
};

// Runs a shell command line and collects its standard output.
CommandOutput runCommand(const std::string& commandLine);

// Whether an executable of that name is on PATH.
bool haveTool(const std::string& name);

// The names in dir that start with prefix, in order.
std::vector<std::string> namesStartingWith(const std::string& dir, const std::string& prefix);

}  // namespace talvek::test
