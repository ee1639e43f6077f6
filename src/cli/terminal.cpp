#include "cli/terminal.h"

#include "platform/file_status.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace talvek {

bool isTerminal(int fd) {
  return ::isatty(fd) == 1;
}

void stripLineEnd(std::string& line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

std::optional<std::string> readInputLine(bool hideInput, const char* prompt) {
  termios saved;
  const bool hide = hideInput && isTerminal(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (hide) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the user still sees the line end
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  // Prompt only once echo is off, so nothing typed in answer is shown.
  if (prompt != nullptr) {
    std::fputs(prompt, stderr);
    std::fflush(stderr);
  }
  // Byte by byte, so nothing after the line is taken from a shared input.
  std::string line;
  bool any = false;
  char c;
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    any = true;
    line.push_back(c);
    if (c == '\n') break;
  }
  if (hide) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  if (!any) return std::nullopt;
  stripLineEnd(line);
  return line;
}

std::optional<std::string> readFirstLine(const std::string& path) {
  if (!isRegularFile(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  if (in.bad()) return std::nullopt;
  stripLineEnd(line);
  return line;
}

}  // namespace talvek
