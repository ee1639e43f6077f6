#include "settings_test_env.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace talvek::test {

ScopedEnvironment::~ScopedEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->second.first) {
      ::setenv(it->first.c_str(), it->second.second.c_str(), 1);
    } else {
      ::unsetenv(it->first.c_str());
    }
  }
}

void ScopedEnvironment::remember(const std::string& name) {
  const char* old = std::getenv(name.c_str());
  saved_.push_back({name, {old != nullptr, old ? old : ""}});
}

void ScopedEnvironment::set(const std::string& name, const std::string& value) {
  remember(name);
  ::setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::unset(const std::string& name) {
  remember(name);
  ::unsetenv(name.c_str());
}

void pointHomeInto(const std::string& dir, ScopedEnvironment& env) {
  env.set("HOME", dir + "/home");
  env.set("XDG_CONFIG_HOME", dir + "/config");
  env.set("XDG_DATA_HOME", dir + "/data");
  env.set("XDG_CACHE_HOME", dir + "/cache");
  env.set("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

SettingsTest::SettingsTest() {
  pointHomeInto(temp_.path(), env_);
}

CommandOutput runCommand(const std::string& commandLine) {
  CommandOutput result;
  FILE* pipe = ::popen(commandLine.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  const int status = ::pclose(pipe);
  if (status != -1 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

bool haveTool(const std::string& name) {
  return runCommand("command -v '" + name + "' >/dev/null 2>&1").status == 0;
}

std::vector<std::string> namesStartingWith(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace talvek::test
