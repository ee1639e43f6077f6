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

// Declares `next`, the definition of name that the seam's own forwards to,
// looked up once.
#define TALVEK_SEAM_NEXT(name) static const auto next = nextDefinition<decltype(&::name)>(#name)

// Whether the plan fails the call; errno is then set.
bool failing(const Decision& decision) {
  if (decision.kind != Decision::Fail) return false;
  errno = decision.error;
  return true;
}

// A call that moves no bytes: fails (-1) or runs.
template <typename Run>
auto unlessFailed(SysCall call, Run run) -> decltype(run()) {
  if (failing(decideCall(call))) return -1;
  return run();
}

// A call that moves up to `count` bytes: fails (-1), returns 0 at once, or
// runs with the count the plan allows.
template <typename Run>
ssize_t transfer(SysCall call, size_t count, Run run) {
  const Decision decision = decideCall(call);
  if (failing(decision)) return -1;
  if (decision.kind == Decision::Limit) {
    if (decision.maxBytes == 0 && count != 0) return 0;
    count = std::min(count, decision.maxBytes);
  }
  return run(count);
}

// open's mode argument is there only when the flags create a file.
mode_t modeArgument(int flags, va_list& args) {
  const bool creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
  return creates ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  TALVEK_SEAM_NEXT(open);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  return unlessFailed(SysCall::Open, [&] { return next(path, flags, mode); });
}

int open64(const char* path, int flags, ...) {
  TALVEK_SEAM_NEXT(open64);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  return unlessFailed(SysCall::Open, [&] { return next(path, flags, mode); });
}

int openat(int dirFd, const char* path, int flags, ...) {
  TALVEK_SEAM_NEXT(openat);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  return unlessFailed(SysCall::Openat, [&] { return next(dirFd, path, flags, mode); });
}

int openat64(int dirFd, const char* path, int flags, ...) {
  TALVEK_SEAM_NEXT(openat64);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  return unlessFailed(SysCall::Openat, [&] { return next(dirFd, path, flags, mode); });
}

int close(int fd) {
  TALVEK_SEAM_NEXT(close);
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
  TALVEK_SEAM_NEXT(read);
  return transfer(SysCall::Read, count, [&](size_t n) { return next(fd, data, n); });
}

ssize_t pread(int fd, void* data, size_t count, off_t offset) {
  TALVEK_SEAM_NEXT(pread);
  return transfer(SysCall::Pread, count, [&](size_t n) { return next(fd, data, n, offset); });
}

ssize_t pread64(int fd, void* data, size_t count, off64_t offset) {
  TALVEK_SEAM_NEXT(pread64);
  return transfer(SysCall::Pread, count, [&](size_t n) { return next(fd, data, n, offset); });
}

ssize_t write(int fd, const void* data, size_t count) {
  TALVEK_SEAM_NEXT(write);
  return transfer(SysCall::Write, count, [&](size_t n) { return next(fd, data, n); });
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  TALVEK_SEAM_NEXT(pwrite);
  return transfer(SysCall::Pwrite, count, [&](size_t n) { return next(fd, data, n, offset); });
}

ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset) {
  TALVEK_SEAM_NEXT(pwrite64);
  return transfer(SysCall::Pwrite, count, [&](size_t n) { return next(fd, data, n, offset); });
}

int fsync(int fd) {
  TALVEK_SEAM_NEXT(fsync);
  return unlessFailed(SysCall::Fsync, [&] { return next(fd); });
}

int fdatasync(int fd) {
  TALVEK_SEAM_NEXT(fdatasync);
  return unlessFailed(SysCall::Fdatasync, [&] { return next(fd); });
}

int ftruncate(int fd, off_t length) __THROW {
  TALVEK_SEAM_NEXT(ftruncate);
  return unlessFailed(SysCall::Ftruncate, [&] { return next(fd, length); });
}

int ftruncate64(int fd, off64_t length) __THROW {
  TALVEK_SEAM_NEXT(ftruncate64);
  return unlessFailed(SysCall::Ftruncate, [&] { return next(fd, length); });
}

int rename(const char* from, const char* to) __THROW {
  TALVEK_SEAM_NEXT(rename);
  return unlessFailed(SysCall::Rename, [&] { return next(from, to); });
}

int renameat(int fromDir, const char* from, int toDir, const char* to) __THROW {
  TALVEK_SEAM_NEXT(renameat);
  return unlessFailed(SysCall::Renameat, [&] { return next(fromDir, from, toDir, to); });
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) __THROW {
  TALVEK_SEAM_NEXT(linkat);
  return unlessFailed(SysCall::Linkat, [&] { return next(fromDir, from, toDir, to, flags); });
}

int unlink(const char* path) __THROW {
  TALVEK_SEAM_NEXT(unlink);
  return unlessFailed(SysCall::Unlink, [&] { return next(path); });
}

ssize_t copy_file_range(int inFd, off64_t* inOffset, int outFd, off64_t* outOffset, size_t count,
                        unsigned int flags) {
  TALVEK_SEAM_NEXT(copy_file_range);
  return transfer(SysCall::CopyFileRange, count,
                  [&](size_t n) { return next(inFd, inOffset, outFd, outOffset, n, flags); });
}

}  // extern "C"
