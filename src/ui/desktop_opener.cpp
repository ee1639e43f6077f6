#include "ui/desktop_opener.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <utility>

#include "ui/input_blocker.h"

extern char** environ;

namespace talvek {
namespace {

// Starts `program path` in a session of its own, so the viewer outlives this
// program, with default signal handling and no descriptor but 0 to 2.
pid_t spawnOpener(const std::string& program, const std::string& path) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_init(&attributes);
  sigset_t signalSet;
  sigfillset(&signalSet);
  posix_spawnattr_setsigdefault(&attributes, &signalSet);
  sigemptyset(&signalSet);
  posix_spawnattr_setsigmask(&attributes, &signalSet);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
  std::string programArgument = program;
  std::string pathArgument = path;
  char* argv[] = {programArgument.data(), pathArgument.data(), nullptr};
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

}  // namespace

DesktopOpener::DesktopOpener(std::string program, std::chrono::milliseconds patience)
    : program_(std::move(program)), patience_(patience) {}

DesktopOpener::~DesktopOpener() {
  reapFinished();
}

void DesktopOpener::reapFinished() {
  std::erase_if(running_, [](pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) != 0;
  });
}

bool DesktopOpener::open(const std::string& path) {
  reapFinished();
  const pid_t pid = spawnOpener(program_, path);
  if (pid < 0) return false;
  int status = 0;
  pid_t waited = 0;
  const bool ended = waitWithoutInput(
      [&] {
        waited = waitpid(pid, &status, WNOHANG);
        return waited != 0;
      },
      patience_, std::chrono::milliseconds(20));
  if (!ended) {
    running_.push_back(pid);
    return true;
  }
  // Reaped by someone else (SIGCHLD ignored): nothing to tell, so trust it.
  if (waited < 0) return true;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace talvek
