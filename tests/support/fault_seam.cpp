// The seam's own definitions of the system calls, which the dynamic linker
// prefers to the C library's because they are in the executable, and the
// plan that tells them when to fail. Calls the C library makes internally
// (fopen, mkstemp, stdio's reads and writes) do not pass through here.

// The fortified inline forms of read and pread would clash with the
// definitions below.
#undef _FORTIFY_SOURCE

#include "fault_seam.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <vector>

namespace talvek::test {

namespace {

constexpr size_t kCalls = static_cast<size_t>(SysCall::kCount);

struct Rule {
  SysCall call;
  int first;
  int last;
  bool fail;  // else: move at most maxBytes, or run `before` and pass
  int error;
  size_t maxBytes;
  std::function<void()> before;
};

struct Decision {
  enum Kind { Pass, Fail, Limit } kind = Pass;
  int error = 0;
  size_t maxBytes = 0;
};

// Plain state behind one mutex; `armed` lets unarmed calls pass without it.
struct SeamState {
  std::atomic<bool> armed{false};
  std::mutex mutex;
  bool everyThread = false;
  pthread_t owner{};
  std::array<int, kCalls> counts{};
  std::array<bool, kCalls> fired{};
  std::vector<Rule> rules;
};

SeamState& state() {
  // Never destroyed: calls may still arrive while the program exits.
  static SeamState* const instance = new SeamState;
  return *instance;
}

bool movesBytes(SysCall call) {
  switch (call) {
    case SysCall::Read:
    case SysCall::Pread:
    case SysCall::Write:
    case SysCall::Pwrite:
    case SysCall::CopyFileRange:
      return true;
    default:
      return false;
  }
}

void addRule(const Rule& rule) {
  if (rule.first < 1) ADD_FAILURE() << "calls are numbered from 1";
  if (!rule.fail && !rule.before && !movesBytes(rule.call)) {
    ADD_FAILURE() << sysCallName(rule.call) << " moves no bytes";
  }
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.rules.push_back(rule);
}

// Counts the call and says what to do with it; `before` receives an action
// to run first.
Decision matchCall(SysCall call, std::function<void()>& before) {
  SeamState& s = state();
  if (!s.armed.load(std::memory_order_acquire)) return {};
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.armed.load(std::memory_order_relaxed)) return {};
  if (!s.everyThread && !pthread_equal(pthread_self(), s.owner)) return {};
  const size_t index = static_cast<size_t>(call);
  const int n = ++s.counts[index];
  // The latest rule that covers the call decides, so that a fault armed
  // after a limit acts on the calls the limit covers.
  for (auto it = s.rules.rbegin(); it != s.rules.rend(); ++it) {
    const Rule& rule = *it;
    if (rule.call != call || n < rule.first || n > rule.last) continue;
    s.fired[index] = true;
    if (rule.before) {
      before = rule.before;
      return {};
    }
    return rule.fail ? Decision{Decision::Fail, rule.error, 0}
                     : Decision{Decision::Limit, 0, rule.maxBytes};
  }
  return {};
}

Decision decideCall(SysCall call) {
  std::function<void()> before;
  const Decision decision = matchCall(call, before);
  // Outside the lock: the action may make calls of its own.
  if (before) before();
  return decision;
}

}  // namespace

const char* sysCallName(SysCall call) {
  static constexpr std::array<const char*, kCalls> kNames = {
      "open",      "openat",    "close",  "read",     "pread",  "write",  "pwrite",         "fsync",
      "fdatasync", "ftruncate", "rename", "renameat", "linkat", "unlink", "copy_file_range"};
  const size_t index = static_cast<size_t>(call);
  return index < kCalls ? kNames[index] : "?";
}

FaultPlan::FaultPlan() {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.armed.load()) ADD_FAILURE() << "a fault plan is already armed";
  s.everyThread = false;
  s.owner = pthread_self();
  s.counts.fill(0);
  s.fired.fill(false);
  s.rules.clear();
  s.armed.store(true, std::memory_order_release);
}

FaultPlan::~FaultPlan() {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.armed.store(false, std::memory_order_release);
  s.rules.clear();
}

FaultPlan& FaultPlan::failAt(SysCall call, int nth, int error) {
  addRule({call, nth, nth, true, error, 0, {}});
  return *this;
}

FaultPlan& FaultPlan::failFrom(SysCall call, int nth, int error) {
  addRule({call, nth, INT_MAX, true, error, 0, {}});
  return *this;
}

FaultPlan& FaultPlan::returnZeroAt(SysCall call, int nth) {
  addRule({call, nth, nth, false, 0, 0, {}});
  return *this;
}

FaultPlan& FaultPlan::limitBytes(SysCall call, size_t maxBytes, int nth) {
  addRule({call, nth, INT_MAX, false, 0, maxBytes, {}});
  return *this;
}

FaultPlan& FaultPlan::runBefore(SysCall call, int nth, std::function<void()> action) {
  addRule({call, nth, nth, false, 0, 0, std::move(action)});
  return *this;
}

FaultPlan& FaultPlan::onEveryThread() {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.everyThread = true;
  return *this;
}

int FaultPlan::calls(SysCall call) const {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.counts[static_cast<size_t>(call)];
}

bool FaultPlan::fired(SysCall call) const {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.fired[static_cast<size_t>(call)];
}

std::string FaultPlan::summary() const {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  std::string text;
  for (size_t i = 0; i < kCalls; ++i) {
    if (s.counts[i] == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::string(sysCallName(static_cast<SysCall>(i))) + " " + std::to_string(s.counts[i]);
  }
  return text.empty() ? "no calls" : text;
}

}  // namespace talvek::test

namespace {

using talvek::test::decideCall;
using talvek::test::Decision;
using talvek::test::SysCall;

// The next definition of name after this executable's: the sanitizer
// runtime's or the C library's.
template <typename Function>
Function nextDefinition(const char* name) {
  void* const found = dlsym(RTLD_NEXT, name);
  if (found == nullptr) {
    std::fprintf(stderr, "fault seam: no %s to forward to\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(found);
}

// Fails the call (errno set, -1 returned) when the plan says so.
#define TALVEK_SEAM_FAIL_IF_ARMED(decision) \
  if ((decision).kind == Decision::Fail) {  \
    errno = (decision).error;               \
    return -1;                              \
  }

// For the calls that move bytes: fails, returns 0, or shortens `count`.
#define TALVEK_SEAM_LIMIT(decision, count)                  \
  TALVEK_SEAM_FAIL_IF_ARMED(decision)                       \
  if ((decision).kind == Decision::Limit) {                 \
    if ((decision).maxBytes == 0 && (count) != 0) return 0; \
    (count) = std::min((count), (decision).maxBytes);       \
  }

#define TALVEK_SEAM_FORWARD(name) static const auto next = nextDefinition<decltype(&::name)>(#name)

// open's mode argument is there only when the flags create a file.
mode_t modeArgument(int flags, va_list& args) {
  const bool creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
  return creates ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  TALVEK_SEAM_FORWARD(open);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  const Decision decision = decideCall(SysCall::Open);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  TALVEK_SEAM_FORWARD(open64);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  const Decision decision = decideCall(SysCall::Open);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(path, flags, mode);
}

int openat(int dirFd, const char* path, int flags, ...) {
  TALVEK_SEAM_FORWARD(openat);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  const Decision decision = decideCall(SysCall::Openat);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(dirFd, path, flags, mode);
}

int openat64(int dirFd, const char* path, int flags, ...) {
  TALVEK_SEAM_FORWARD(openat64);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  const Decision decision = decideCall(SysCall::Openat);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(dirFd, path, flags, mode);
}

int close(int fd) {
  TALVEK_SEAM_FORWARD(close);
  const Decision decision = decideCall(SysCall::Close);
  // A failing close still releases the descriptor, as Linux's does.
  if (decision.kind == Decision::Fail) {
    next(fd);
    errno = decision.error;
    return -1;
  }
  return next(fd);
}

ssize_t read(int fd, void* data, size_t count) {
  TALVEK_SEAM_FORWARD(read);
  const Decision decision = decideCall(SysCall::Read);
  TALVEK_SEAM_LIMIT(decision, count);
  return next(fd, data, count);
}

ssize_t pread(int fd, void* data, size_t count, off_t offset) {
  TALVEK_SEAM_FORWARD(pread);
  const Decision decision = decideCall(SysCall::Pread);
  TALVEK_SEAM_LIMIT(decision, count);
  return next(fd, data, count, offset);
}

ssize_t pread64(int fd, void* data, size_t count, off64_t offset) {
  TALVEK_SEAM_FORWARD(pread64);
  const Decision decision = decideCall(SysCall::Pread);
  TALVEK_SEAM_LIMIT(decision, count);
  return next(fd, data, count, offset);
}

ssize_t write(int fd, const void* data, size_t count) {
  TALVEK_SEAM_FORWARD(write);
  const Decision decision = decideCall(SysCall::Write);
  TALVEK_SEAM_LIMIT(decision, count);
  return next(fd, data, count);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  TALVEK_SEAM_FORWARD(pwrite);
  const Decision decision = decideCall(SysCall::Pwrite);
  TALVEK_SEAM_LIMIT(decision, count);
  return next(fd, data, count, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset) {
  TALVEK_SEAM_FORWARD(pwrite64);
  const Decision decision = decideCall(SysCall::Pwrite);
  TALVEK_SEAM_LIMIT(decision, count);
  return next(fd, data, count, offset);
}

int fsync(int fd) {
  TALVEK_SEAM_FORWARD(fsync);
  const Decision decision = decideCall(SysCall::Fsync);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(fd);
}

int fdatasync(int fd) {
  TALVEK_SEAM_FORWARD(fdatasync);
  const Decision decision = decideCall(SysCall::Fdatasync);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(fd);
}

int ftruncate(int fd, off_t length) __THROW {
  TALVEK_SEAM_FORWARD(ftruncate);
  const Decision decision = decideCall(SysCall::Ftruncate);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(fd, length);
}

int ftruncate64(int fd, off64_t length) __THROW {
  TALVEK_SEAM_FORWARD(ftruncate64);
  const Decision decision = decideCall(SysCall::Ftruncate);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(fd, length);
}

int rename(const char* from, const char* to) __THROW {
  TALVEK_SEAM_FORWARD(rename);
  const Decision decision = decideCall(SysCall::Rename);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) __THROW {
  TALVEK_SEAM_FORWARD(renameat);
  const Decision decision = decideCall(SysCall::Renameat);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(fromDir, from, toDir, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) __THROW {
  TALVEK_SEAM_FORWARD(linkat);
  const Decision decision = decideCall(SysCall::Linkat);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(fromDir, from, toDir, to, flags);
}

int unlink(const char* path) __THROW {
  TALVEK_SEAM_FORWARD(unlink);
  const Decision decision = decideCall(SysCall::Unlink);
  TALVEK_SEAM_FAIL_IF_ARMED(decision);
  return next(path);
}

ssize_t copy_file_range(int inFd, off64_t* inOffset, int outFd, off64_t* outOffset, size_t count,
                        unsigned int flags) {
  TALVEK_SEAM_FORWARD(copy_file_range);
  const Decision decision = decideCall(SysCall::CopyFileRange);
  TALVEK_SEAM_LIMIT(decision, count);
  return next(inFd, inOffset, outFd, outOffset, count, flags);
}

}  // extern "C"
