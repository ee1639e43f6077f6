#include "child_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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

BackgroundChild::BackgroundChild(const std::function<void()>& body) {
  std::fflush(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    body();
    _exit(0);
  }
  if (pid_ < 0) ADD_FAILURE() << "fork failed";
}

BackgroundChild::~BackgroundChild() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

bool becomeNobody() {
  return ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

}  // namespace talvek::test
