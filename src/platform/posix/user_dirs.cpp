#include "platform/user_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace talvek {

namespace {

// The XDG rules ignore relative paths in these variables.
std::string absoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] == '/') return value;
  return {};
}

std::string underHome(const char* relative) {
  const std::string home = userHomeDirectory();
  return home.empty() ? std::string() : home + relative;
}

}  // namespace

std::string userHomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

std::string configHome() {
  std::string dir = absoluteFromEnvironment("XDG_CONFIG_HOME");
  return dir.empty() ? underHome("/.config") : dir;
}

std::string dataHome() {
  std::string dir = absoluteFromEnvironment("XDG_DATA_HOME");
  return dir.empty() ? underHome("/.local/share") : dir;
}

std::string stateHome() {
  std::string dir = absoluteFromEnvironment("XDG_STATE_HOME");
  return dir.empty() ? underHome("/.local/state") : dir;
}

std::vector<std::string> dataDirs() {
  const char* value = std::getenv("XDG_DATA_DIRS");
  std::vector<std::string> dirs = splitSearchPath(value != nullptr ? value : "");
  if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

std::vector<std::string> splitSearchPath(std::string_view list) {
  std::vector<std::string> dirs;
  for (;;) {
    const std::size_t colon = list.find(':');
    const std::string_view dir = list.substr(0, colon);
    if (!dir.empty() && dir[0] == '/') dirs.emplace_back(dir);
    if (colon == std::string_view::npos) return dirs;
    list.remove_prefix(colon + 1);
  }
}

}  // namespace talvek
