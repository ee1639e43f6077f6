#include "settings/posix/desktop_entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "platform/file_status.h"
#include "platform/posix/unique_fd.h"
#include "platform/user_dirs.h"

namespace talvek {

namespace {

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The escapes of a string value: \s, \n, \t, \r and \\.
std::string unescapeValue(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

// The first argument of an unescaped Exec value; "" when a quote is left open.
std::string firstArgument(std::string_view exec) {
  std::string raw;
  std::size_t i = exec.find_first_not_of(' ');
  if (i == std::string_view::npos) return {};
  if (exec[i] == '"') {
    for (++i; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      raw += exec[i];
    }
    if (i == exec.size()) return {};
  } else {
    raw = exec.substr(i, exec.find(' ', i) - i);
  }
  std::string argument;
  for (std::size_t k = 0; k < raw.size(); ++k) {
    argument += raw[k];
    if (raw[k] == '%' && k + 1 < raw.size() && raw[k + 1] == '%') ++k;
  }
  return argument;
}

bool isExecutableFile(const std::string& path) {
  return isRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string execProgram(std::string_view entryText) {
  bool inMainGroup = false;
  while (!entryText.empty()) {
    const std::size_t end = entryText.find('\n');
    const std::string_view line = entryText.substr(0, end);
    entryText.remove_prefix(end == std::string_view::npos ? entryText.size() : end + 1);
    if (!line.empty() && line[0] == '[') {
      inMainGroup = trimmed(line) == "[Desktop Entry]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inMainGroup || equals == std::string_view::npos ||
        trimmed(line.substr(0, equals)) != "Exec") {
      continue;
    }
    return firstArgument(unescapeValue(trimmed(line.substr(equals + 1))));
  }
  return {};
}

std::string findProgram(const std::string& command, const std::vector<std::string>& searchPath) {
  if (command.find('/') != std::string::npos) {
    return command[0] == '/' && isExecutableFile(command) ? command : std::string();
  }
  if (command.empty()) return {};
  for (const std::string& dir : searchPath) {
    const std::string candidate = dir + (dir.back() == '/' ? "" : "/") + command;
    if (isExecutableFile(candidate)) return candidate;
  }
  return {};
}

std::vector<std::string> commandSearchPath() {
  if (const char* path = std::getenv("PATH")) return splitSearchPath(path);
  std::string fallback(::confstr(_CS_PATH, nullptr, 0), '\0');
  if (fallback.empty()) return {};
  ::confstr(_CS_PATH, fallback.data(), fallback.size());
  fallback.pop_back();  // the terminating NUL
  return splitSearchPath(fallback);
}

bool readSmallFile(const std::string& path, std::size_t maxBytes, bool followLink,
                   std::string* text) {
  // Non-blocking: a FIFO in the file's place must not hang the start.
  const UniqueFd fd(
      ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)));
  struct stat st;
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    errno = EINVAL;
    return false;
  }
  text->assign(static_cast<std::size_t>(st.st_size), '\0');
  const ssize_t got = preadFull(fd.get(), text->data(), text->size(), 0);
  if (got < 0) return false;
  text->resize(static_cast<std::size_t>(got));
  return true;
}

}  // namespace talvek
