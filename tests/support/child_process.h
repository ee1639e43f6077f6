// Running part of a test in a forked child, for what only another process
// can show: a crash, a resource limit, or a user without root's privileges.
#pragma once

#ifdef _WIN32

#include <optional>
#include <string>

namespace talvek::test {

// Windows has no fork: the child is this very test program again, run for
// one test only, which learns from childArgument() that it is the child and
// what to do.
class ChildTest {
 public:
  // Starts the program with --gtest_filter=`test`, handing `argument` over.
  ChildTest(const std::string& test, const std::string& argument);
  // Kills the child if it still runs.
  ~ChildTest();
  ChildTest(const ChildTest&) = delete;
  ChildTest& operator=(const ChildTest&) = delete;

  bool started() const { return process_ != nullptr; }
  // Ends the child at once, as a crash or the task manager would, and
  // waits until the system has closed everything it held.
  void kill();
  // Waits for the child to end and returns its exit code.
  unsigned long wait();

 private:
  void* process_ = nullptr;
};

// In the child: the argument its parent gave; nothing in a test run of its
// own.
std::optional<std::string> childArgument();

}  // namespace talvek::test

#else

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

#endif
