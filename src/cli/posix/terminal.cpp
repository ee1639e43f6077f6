#include "cli/terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/posix/unique_fd.h"

namespace talvek {

namespace {

// The terminal settings to put back if the user interrupts a hidden read;
// without this the shell would be left without echo.
termios savedTerminal;
volatile sig_atomic_t hiddenTerminal = -1;

void restoreTerminalAndDie(int signal) {
  if (hiddenTerminal >= 0) ::tcsetattr(hiddenTerminal, TCSANOW, &savedTerminal);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Catches `signal` with handler unless the caller ignores it (nohup): an
// ignored signal stays ignored, as it does during a job. Returns the old
// handler.
void (*catchUnlessIgnored(int signal, void (*handler)(int)))(int) {
  const auto old = ::signal(signal, handler);
  if (old == SIG_IGN) ::signal(signal, SIG_IGN);
  return old;
}

// Turns echo off on a terminal for its lifetime.
class HiddenInput {
 public:
  explicit HiddenInput(int fd) {
    if (!isTerminal(fd) || ::tcgetattr(fd, &savedTerminal) != 0) return;
    termios quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the user still sees the line end
    oldInt_ = catchUnlessIgnored(SIGINT, restoreTerminalAndDie);
    oldTerm_ = catchUnlessIgnored(SIGTERM, restoreTerminalAndDie);
    oldHup_ = catchUnlessIgnored(SIGHUP, restoreTerminalAndDie);
    hiddenTerminal = fd;
    ::tcsetattr(fd, TCSANOW, &quiet);
  }
  ~HiddenInput() {
    if (hiddenTerminal < 0) return;
    ::tcsetattr(hiddenTerminal, TCSANOW, &savedTerminal);
    hiddenTerminal = -1;
    ::signal(SIGINT, oldInt_);
    ::signal(SIGTERM, oldTerm_);
    ::signal(SIGHUP, oldHup_);
  }
  HiddenInput(const HiddenInput&) = delete;
  HiddenInput& operator=(const HiddenInput&) = delete;

 private:
  using Handler = void (*)(int);
  Handler oldInt_ = SIG_DFL;
  Handler oldTerm_ = SIG_DFL;
  Handler oldHup_ = SIG_DFL;
};

}  // namespace

bool isTerminal(NativeFile file) {
  return ::isatty(static_cast<int>(file)) == 1;
}

void stripLineEnd(std::string& line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

LineRead readLine(NativeFile input, std::string& line, int* error) {
  const int fd = static_cast<int>(input);
  line.clear();
  const off_t start = ::lseek(fd, 0, SEEK_CUR);
  const bool seekable = start >= 0;
  char buffer[4096];
  const size_t chunk = seekable || isTerminal(fd) ? sizeof buffer : 1;
  bool any = false;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      if (error != nullptr) *error = errno;
      return LineRead::Failed;
    }
    if (got == 0) break;
    any = true;
    const size_t size = static_cast<size_t>(got);
    const void* end = std::memchr(buffer, '\n', size);
    const size_t taken =
        end ? static_cast<size_t>(static_cast<const char*>(end) - buffer) + 1 : size;
    line.append(buffer, taken);
    if (end) {
      if (seekable && taken < size)
        (void)::lseek(fd, start + static_cast<off_t>(line.size()), SEEK_SET);
      break;
    }
    // One more byte than the limit leaves room for the CR of a CR LF.
    if (line.size() > kMaxLineLength + 1) return LineRead::TooLong;
  }
  if (!any) return LineRead::End;
  stripLineEnd(line);
  return line.size() > kMaxLineLength ? LineRead::TooLong : LineRead::Line;
}

LineRead readFirstLine(const std::string& path, std::string& line, int& error) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  error = fd.valid() ? 0 : errno;
  LineRead result = fd.valid() ? readLine(fd.get(), line, &error) : LineRead::Failed;
  if (result == LineRead::End) result = LineRead::Line;
  return result;
}

std::optional<std::string> askLine(NativeFile input, NativeFile output, const std::string& prompt,
                                   bool hidden) {
  std::string line;
  LineRead result;
  {
    std::optional<HiddenInput> quiet;
    if (hidden) quiet.emplace(static_cast<int>(input));
    // Prompt only once echo is off, so nothing typed in answer is shown.
    (void)writeAll(static_cast<int>(output), prompt.data(), prompt.size());
    result = readLine(input, line);
  }
  if (result == LineRead::Line) return line;
  (void)writeAll(static_cast<int>(output), "\n", 1);
  return std::nullopt;
}

}  // namespace talvek
