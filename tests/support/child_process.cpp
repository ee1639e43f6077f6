#include "child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace talvek::test {

int runInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) ADD_FAILURE() << "fork or wait failed";
  return status;
}

bool becomeNobody() {
  return ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

}  // namespace talvek::test
