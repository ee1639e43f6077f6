// Running part of a test in a forked child, for what only another process
// can show: a crash, a resource limit, or a user without root's privileges.
#pragma once

#include <sys/types.h>

#include <functional>

namespace talvek::test {

// The unprivileged user and group the permission tests switch to.
inline constexpr uid_t kNobody = 65534;

// Runs body in a forked child and returns its exit status as waitpid gives it.
// The child's body returns its exit code; assertions do not work in there.
int runInChild(const std::function<int()>& body);

// In a child: switches to kNobody for good. False when that is not possible.
bool becomeNobody();

// A forked child that runs body until the object goes away, which kills it
// and waits for it: a helper process that races the code under test.
class BackgroundChild {
 public:
  explicit BackgroundChild(const std::function<void()>& body);
  ~BackgroundChild();
  BackgroundChild(const BackgroundChild&) = delete;
  BackgroundChild& operator=(const BackgroundChild&) = delete;

 private:
  pid_t pid_;
};

}  // namespace talvek::test
