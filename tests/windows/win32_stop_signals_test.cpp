// Ctrl+C, Ctrl+Break and a closed console stop a job as SIGINT, SIGTERM and
// SIGHUP do on Linux, and end the program with Windows' usual status for
// it. Wine without a console delivers no events: the tests hand them to the
// handler as the system would.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>

#include "child_process.h"
#include "platform/file.h"
#include "platform/signals_held.h"
#include "platform/stop_signals.h"
#include "platform/win32/console_control.h"

namespace talvek {
namespace {

TEST(Win32StopSignals, ControlEventsAreCaughtWhileStopSignalsLives) {
  {
    const StopSignals signals;
    EXPECT_EQ(StopSignals::caught(), 0);
    EXPECT_EQ(signals.notificationFd(), -1);
    EXPECT_TRUE(console::handleEvent(CTRL_C_EVENT));
    EXPECT_EQ(StopSignals::caught(), SIGINT);
    // The first one counts.
    EXPECT_TRUE(console::handleEvent(CTRL_BREAK_EVENT));
    EXPECT_EQ(StopSignals::caught(), SIGINT);
    // Held back or not, an event is the job's to act on while it is caught.
    const SignalsHeld held;
    EXPECT_TRUE(console::handleEvent(CTRL_C_EVENT));
  }
  // Without anyone to catch them, the system's default ends the process.
  EXPECT_FALSE(console::handleEvent(CTRL_C_EVENT));
  const StopSignals again;
  EXPECT_EQ(StopSignals::caught(), 0);
  EXPECT_TRUE(console::handleEvent(CTRL_BREAK_EVENT));
  EXPECT_EQ(StopSignals::caught(), SIGBREAK);
}

TEST(Win32StopSignals, AWaitForAQuietPipeEndsWithAStopRequest) {
  const StopSignals signals;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  const File in(reinterpret_cast<NativeFile>(readEnd));
  const File out(reinterpret_cast<NativeFile>(writeEnd));
  ASSERT_TRUE(console::handleEvent(CTRL_C_EVENT));
  // A wait that only a stop request can end: the test would hang otherwise.
  bool ready = true;
  ASSERT_TRUE(in.waitUntilReady(false, INT_MAX, &ready).ok());
  EXPECT_FALSE(ready);
}

// The child: does what its argument names, and ends with exit code 0 if
// nothing ended it before.
TEST(Win32StopSignals, Child) {
  const std::optional<std::string> argument = test::childArgument();
  if (!argument) GTEST_SKIP() << "runs only as the child of another Win32StopSignals test";
  if (*argument == "endBy") {
    const StopSignals signals;
    ASSERT_TRUE(console::handleEvent(CTRL_C_EVENT));
    StopSignals::endByCaughtSignal();
  }
  if (*argument == "held") {
    const SignalsHeld held;
    // Deferred: the process lives on until the scope ends.
    ASSERT_TRUE(console::handleEvent(CTRL_C_EVENT));
  }
}

struct EndCase {
  const char* argument;
  unsigned long exitCode;
};

void PrintTo(const EndCase& c, std::ostream* out) {
  *out << c.argument;
}

class Win32StopSignalsEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(Win32StopSignalsEnd, TheProcessEndsWithTheConsolesStatusForAStop) {
  test::ChildTest child("Win32StopSignals.Child", GetParam().argument);
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.wait(), GetParam().exitCode) << GetParam().argument;
}

INSTANTIATE_TEST_SUITE_P(Ends, Win32StopSignalsEnd,
                         ::testing::Values(EndCase{"endBy", STATUS_CONTROL_C_EXIT},
                                           EndCase{"held", STATUS_CONTROL_C_EXIT},
                                           EndCase{"nothing", 0}),
                         [](const auto& info) { return std::string(info.param.argument); });

}  // namespace
}  // namespace talvek
