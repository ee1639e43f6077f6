#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>

#include <csignal>

#include "child_process.h"

namespace talvek {
namespace {

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

void countSignal(int) {}

TEST(StopSignals, EachSignalIsCaughtAndTellsTheEventLoop) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const auto before = ::signal(signal, countSignal);
    {
      const StopSignals signals;
      ASSERT_GE(signals.notificationFd(), 0);
      EXPECT_EQ(StopSignals::caught(), 0);
      EXPECT_FALSE(readable(signals.notificationFd()));
      ::raise(signal);
      ::raise(SIGINT);  // only the first one counts
      EXPECT_EQ(StopSignals::caught(), signal);
      EXPECT_TRUE(readable(signals.notificationFd()));
      signals.clearNotifications();
      EXPECT_FALSE(readable(signals.notificationFd()));
    }
    // The handler that was there before is back.
    EXPECT_EQ(::signal(signal, before), countSignal);
  }
}

TEST(StopSignals, ASignalIgnoredAtTheStartStaysIgnored) {
  const auto before = ::signal(SIGHUP, SIG_IGN);
  {
    const StopSignals signals;
    ::raise(SIGHUP);
    EXPECT_EQ(StopSignals::caught(), 0);
    EXPECT_FALSE(readable(signals.notificationFd()));
  }
  EXPECT_EQ(::signal(SIGHUP, before), SIG_IGN);
}

TEST(StopSignals, EndByEndsTheProcessByTheSignalEvenWhileItIsCaught) {
  const int status = test::runInChild([]() -> int {
    const StopSignals signals;
    ::raise(SIGTERM);
    StopSignals::endByCaughtSignal();
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

}  // namespace
}  // namespace talvek
