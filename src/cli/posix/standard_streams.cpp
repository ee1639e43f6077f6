#include "cli/standard_streams.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "cli/terminal.h"

namespace talvek {

NativeFile standardInput() {
  return STDIN_FILENO;
}

NativeFile standardOutput() {
  return STDOUT_FILENO;
}

NativeFile standardError() {
  return STDERR_FILENO;
}

ClosedStreams reopenClosedStreams() {
  bool closed[3] = {false, false, false};
  for (int fd = 0; fd < 3; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    closed[fd] = true;
    // The lowest free number is fd itself, the ones below being open.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
  return {closed[0], closed[1]};
}

void openQuestionTerminal(bool quiet, bool readsStandardInput, QuestionTerminal& terminal) {
  if (quiet) {
    terminal.whyNot = "--quiet asks nothing";
  } else if (!readsStandardInput) {
    if (isTerminal(STDIN_FILENO)) {
      terminal.input = STDIN_FILENO;
      terminal.output = STDERR_FILENO;
    } else {
      terminal.whyNot = "standard input is not a terminal";
    }
  } else {
    terminal.ownedInput.reset(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (terminal.ownedInput.valid()) {
      terminal.input = terminal.ownedInput.native();
      terminal.output = terminal.ownedInput.native();
    } else {
      terminal.whyNot = "standard input carries the data and there is no terminal";
    }
  }
}

std::string typedPasswordCharset() {
  return {};
}

std::string typedPasswordKeyCharset() {
  return {};
}

}  // namespace talvek
