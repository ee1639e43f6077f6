#include "cli/terminal.h"

#include "platform/file_status.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>

namespace talvek {

namespace {

// The terminal settings to put back if the user interrupts a hidden read;
// without this the shell would be left without echo.
termios savedTerminal;
volatile sig_atomic_t terminalHidden = 0;

void restoreTerminalAndDie(int signal) {
  if (terminalHidden) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

bool isTerminal(int fd) {
  return ::isatty(fd) == 1;
}

void stripLineEnd(std::string& line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

std::optional<std::string> readInputLine(bool hideInput, const char* prompt) {
  const bool hide =
      hideInput && isTerminal(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
  using Handler = void (*)(int);
  Handler oldInt = SIG_DFL;
  Handler oldTerm = SIG_DFL;
  Handler oldHup = SIG_DFL;
  if (hide) {
    termios quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the user still sees the line end
    oldInt = ::signal(SIGINT, restoreTerminalAndDie);
    oldTerm = ::signal(SIGTERM, restoreTerminalAndDie);
    oldHup = ::signal(SIGHUP, restoreTerminalAndDie);
    terminalHidden = 1;
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
  if (hide) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    terminalHidden = 0;
    ::signal(SIGINT, oldInt);
    ::signal(SIGTERM, oldTerm);
    ::signal(SIGHUP, oldHup);
  }
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
