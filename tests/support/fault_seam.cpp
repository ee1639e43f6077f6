// The seam's own definitions of the system calls, which the dynamic linker
// prefers to the C library's because they are in the executable, and the
// plan that tells them when to fail. Calls the C library makes internally
// (fopen, mkstemp, stdio's reads and writes) do not pass through here.

// The fortified inline forms of read and pread would clash with the
// definitions below.
#undef _FORTIFY_SOURCE

#include "fault_seam.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <functional>
#include <mutex>
#include <vector>

#include "durable_state.h"
#include "real_calls.h"

namespace talvek::test {

namespace {

constexpr size_t kCalls = static_cast<size_t>(SysCall::kCount);

struct Rule {
  SysCall call;
  bool anyKind;  // first and last number the calls of every kind
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
  // Set while a power cut is still to come: what the call creates or syncs
  // is to be told to it.
  DurableState* durable = nullptr;
};

// What a call would change if it went ahead, which a power cut stops.
struct Effect {
  bool changes;
  int fd;  // >= 0: only if this is a file or directory, not a pipe, say
};
constexpr Effect kReads{false, -1};
constexpr Effect kChanges{true, -1};
Effect onFile(int fd) {
  return {true, fd};
}

// Plain state behind one mutex; `armed` lets unarmed calls pass without it.
struct SeamState {
  std::atomic<bool> armed{false};
  std::mutex mutex;
  const FaultPlan* plan = nullptr;
  bool everyThread = false;
  pthread_t owner{};
  std::array<int, kCalls> counts{};
  std::array<bool, kCalls> fired{};
  std::vector<SysCall> order;
  std::vector<Rule> rules;
  // Opens that would make an unnamed file fail as on a file system without.
  bool noUnnamedFiles = false;
  // The power goes off before call number cutAt; 0: no cut armed.
  int cutAt = 0;
  bool cut = false;
  bool keepUnsyncedBytes = false;
  DurableState durable;
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

bool holdsFileOrDirectory(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
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

// Counts the call and says what to do with it; `before` receives the
// actions to run first.
Decision matchCall(SysCall call, Effect effect, std::vector<std::function<void()>>& before) {
  SeamState& s = state();
  if (!s.armed.load(std::memory_order_acquire)) return {};
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.armed.load(std::memory_order_relaxed)) return {};
  if (!s.everyThread && !pthread_equal(pthread_self(), s.owner)) return {};
  const size_t index = static_cast<size_t>(call);
  const int n = ++s.counts[index];
  s.order.push_back(call);
  const int total = static_cast<int>(s.order.size());
  // The latest fault that covers the call decides, so that a fault armed
  // after a limit acts on the calls the limit covers.
  Decision decision;
  bool decided = false;
  for (auto it = s.rules.rbegin(); it != s.rules.rend(); ++it) {
    const Rule& rule = *it;
    if (!rule.anyKind && rule.call != call) continue;
    const int number = rule.anyKind ? total : n;
    if (number < rule.first || number > rule.last) continue;
    if (!rule.anyKind) s.fired[index] = true;
    if (rule.before) {
      before.insert(before.begin(), rule.before);
    } else if (!decided) {
      decided = true;
      decision = rule.fail ? Decision{Decision::Fail, rule.error, 0, nullptr}
                           : Decision{Decision::Limit, 0, rule.maxBytes, nullptr};
    }
  }
  if (s.cutAt != 0) {
    if (total >= s.cutAt) s.cut = true;
    if (!s.cut) {
      decision.durable = &s.durable;
    } else if (effect.changes && (effect.fd < 0 || holdsFileOrDirectory(effect.fd))) {
      decision = {Decision::Fail, EIO, 0, nullptr};
    }
  }
  return decision;
}

// Whether the plan speaks for this thread and has no unnamed files.
bool refusesUnnamedFiles() {
  SeamState& s = state();
  if (!s.armed.load(std::memory_order_acquire)) return false;
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.armed.load(std::memory_order_relaxed) && s.noUnnamedFiles &&
         (s.everyThread || pthread_equal(pthread_self(), s.owner));
}

Decision decideCall(SysCall call, Effect effect) {
  std::vector<std::function<void()>> before;
  const Decision decision = matchCall(call, effect, before);
  // Outside the lock: an action may make calls of its own.
  for (const std::function<void()>& action : before) action();
  return decision;
}

}  // namespace

const char* sysCallName(SysCall call) {
  // In the order of SysCall.
  static constexpr const char* kNames[] = {
      "open",     "openat",    "close",     "read",           "pread",  "write",    "pwrite",
      "fsync",    "fdatasync", "ftruncate", "fallocate",      "rename", "renameat", "renameat2",
      "link",     "linkat",    "unlink",    "unlinkat",       "mkdir",  "fchmod",   "fchown",
      "futimens", "fsetxattr", "flock",     "copy_file_range"};
  static_assert(std::size(kNames) == kCalls, "a name for every call");
  const size_t index = static_cast<size_t>(call);
  return index < kCalls ? kNames[index] : "?";
}

std::string describeCall(const std::vector<SysCall>& order, int nth) {
  const std::string where =
      "(call " + std::to_string(nth) + " of " + std::to_string(order.size()) + ")";
  if (nth < 1 || static_cast<size_t>(nth) > order.size()) return "no call " + where;
  const SysCall call = order[static_cast<size_t>(nth) - 1];
  const auto sameKind = std::count(order.begin(), order.begin() + nth, call);
  return std::string(sysCallName(call)) + " " + std::to_string(sameKind) + " " + where;
}

FaultPlan::FaultPlan() {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.armed.load()) ADD_FAILURE() << "a fault plan is already armed";
  s.plan = this;
  s.everyThread = false;
  s.owner = pthread_self();
  s.counts.fill(0);
  s.fired.fill(false);
  s.order.clear();
  s.rules.clear();
  s.noUnnamedFiles = false;
  s.cutAt = 0;
  s.cut = false;
  s.keepUnsyncedBytes = false;
  s.durable.clear();
  s.armed.store(true, std::memory_order_release);
}

FaultPlan::~FaultPlan() {
  restartAfterPowerCut();
}

FaultPlan& FaultPlan::failAt(SysCall call, int nth, int error) {
  addRule({call, false, nth, nth, true, error, 0, {}});
  return *this;
}

FaultPlan& FaultPlan::failFrom(SysCall call, int nth, int error) {
  addRule({call, false, nth, INT_MAX, true, error, 0, {}});
  return *this;
}

FaultPlan& FaultPlan::returnZeroAt(SysCall call, int nth) {
  addRule({call, false, nth, nth, false, 0, 0, {}});
  return *this;
}

FaultPlan& FaultPlan::limitBytes(SysCall call, size_t maxBytes, int nth) {
  addRule({call, false, nth, INT_MAX, false, 0, maxBytes, {}});
  return *this;
}

FaultPlan& FaultPlan::runBefore(SysCall call, int nth, std::function<void()> action) {
  addRule({call, false, nth, nth, false, 0, 0, std::move(action)});
  return *this;
}

FaultPlan& FaultPlan::runBeforeCall(int nth, std::function<void()> action) {
  addRule({SysCall::kCount, true, nth, nth, false, 0, 0, std::move(action)});
  return *this;
}

FaultPlan& FaultPlan::withoutUnnamedFiles() {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.noUnnamedFiles = true;
  return *this;
}

FaultPlan& FaultPlan::onEveryThread() {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  s.everyThread = true;
  return *this;
}

FaultPlan& FaultPlan::cutPowerBefore(int nth, std::vector<std::string> directories,
                                     UnsyncedBytes unsynced) {
  if (nth < 1) ADD_FAILURE() << "calls are numbered from 1";
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cutAt != 0) {
    ADD_FAILURE() << "the power can be cut once per plan";
    return *this;
  }
  for (const std::string& error : s.durable.watch(directories)) {
    ADD_FAILURE() << "power cut: " << error;
  }
  s.cutAt = std::max(nth, 1);
  s.keepUnsyncedBytes = unsynced == UnsyncedBytes::WrittenBack;
  return *this;
}

void FaultPlan::cutPowerNow() {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.cutAt == 0) ADD_FAILURE() << "no power cut armed";
  s.cut = s.cutAt != 0;
}

bool FaultPlan::powerWasCut() const {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.cut;
}

void FaultPlan::restartAfterPowerCut() {
  SeamState& s = state();
  {
    const std::lock_guard<std::mutex> lock(s.mutex);
    if (s.plan != this) return;
    s.armed.store(false, std::memory_order_release);
    s.plan = nullptr;
    s.rules.clear();
    if (!s.cut) {
      s.durable.clear();
      return;
    }
  }
  // No call is counted now, and the model makes only the real ones anyway.
  for (const std::string& error : s.durable.restore(s.keepUnsyncedBytes)) {
    ADD_FAILURE() << "restarting after the power cut: " << error;
  }
}

int FaultPlan::calls(SysCall call) const {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.counts[static_cast<size_t>(call)];
}

int FaultPlan::allCalls() const {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<int>(s.order.size());
}

std::vector<SysCall> FaultPlan::callOrder() const {
  SeamState& s = state();
  const std::lock_guard<std::mutex> lock(s.mutex);
  return s.order;
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
using talvek::test::refusesUnnamedFiles;
using talvek::test::Decision;
using talvek::test::Effect;
using talvek::test::kChanges;
using talvek::test::kReads;
using talvek::test::onFile;
using talvek::test::SysCall;

// Declares `next`, the definition of name that the seam's own forwards to:
// the sanitizer runtime's or the C library's, looked up once.
#define TALVEK_SEAM_NEXT(name) \
  static const auto next = reinterpret_cast<decltype(&::name)>(talvek::test::nextDefinition(#name))

// Whether the plan fails the call; errno is then set.
bool failing(const Decision& decision) {
  if (decision.kind != Decision::Fail) return false;
  errno = decision.error;
  return true;
}

// A call that moves no bytes: fails (-1) or runs.
template <typename Run>
auto unlessFailed(SysCall call, Effect effect, Run run) -> decltype(run()) {
  if (failing(decideCall(call, effect))) return -1;
  return run();
}

// A call that moves up to `count` bytes: fails (-1), returns 0 at once, or
// runs with the count the plan allows.
template <typename Run>
ssize_t transfer(SysCall call, size_t count, Effect effect, Run run) {
  const Decision decision = decideCall(call, effect);
  if (failing(decision)) return -1;
  if (decision.kind == Decision::Limit) {
    if (decision.maxBytes == 0 && count != 0) return 0;
    count = std::min(count, decision.maxBytes);
  }
  return run(count);
}

// fsync or fdatasync; a sync that succeeds before a power cut makes things
// durable.
template <typename Run>
int syncFile(SysCall call, int fd, Run run) {
  const Decision decision = decideCall(call, onFile(fd));
  if (failing(decision)) return -1;
  const int result = run();
  if (result == 0 && decision.durable != nullptr) decision.durable->noteSynced(fd);
  return result;
}

bool makesTmpfile(int flags) {
  return (flags & O_TMPFILE) == O_TMPFILE;
}

// Whether an open may change a file: by creating, truncating or writing it.
bool opensForChange(int flags) {
  return (flags & (O_CREAT | O_TRUNC)) != 0 || makesTmpfile(flags) ||
         (flags & O_ACCMODE) != O_RDONLY;
}

// An open of any kind; the files it creates are new inodes to a power cut.
template <typename Run>
int openFile(SysCall call, int dirFd, const char* path, int flags, Run run) {
  const Decision decision = decideCall(call, {opensForChange(flags), -1});
  if (failing(decision)) return -1;
  if (makesTmpfile(flags) && refusesUnnamedFiles()) {
    errno = EOPNOTSUPP;
    return -1;
  }
  bool creates = makesTmpfile(flags);
  if (decision.durable != nullptr && (flags & O_CREAT) != 0 && !creates) {
    struct stat st;
    const int error = errno;
    creates = (flags & O_EXCL) != 0 || ::fstatat(dirFd, path, &st, 0) != 0;
    errno = error;
  }
  const int fd = run();
  if (fd >= 0 && creates && decision.durable != nullptr) decision.durable->noteCreated(fd);
  return fd;
}

// open's mode argument is there only when the flags create a file.
mode_t modeArgument(int flags, va_list& args) {
  const bool creates = (flags & O_CREAT) != 0 || makesTmpfile(flags);
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
  return openFile(SysCall::Open, AT_FDCWD, path, flags, [&] { return next(path, flags, mode); });
}

int open64(const char* path, int flags, ...) {
  TALVEK_SEAM_NEXT(open64);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  return openFile(SysCall::Open, AT_FDCWD, path, flags, [&] { return next(path, flags, mode); });
}

int openat(int dirFd, const char* path, int flags, ...) {
  TALVEK_SEAM_NEXT(openat);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  return openFile(SysCall::Openat, dirFd, path, flags,
                  [&] { return next(dirFd, path, flags, mode); });
}

int openat64(int dirFd, const char* path, int flags, ...) {
  TALVEK_SEAM_NEXT(openat64);
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeArgument(flags, args);
  va_end(args);
  return openFile(SysCall::Openat, dirFd, path, flags,
                  [&] { return next(dirFd, path, flags, mode); });
}

int close(int fd) {
  TALVEK_SEAM_NEXT(close);
  const Decision decision = decideCall(SysCall::Close, kReads);
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
  return transfer(SysCall::Read, count, kReads, [&](size_t n) { return next(fd, data, n); });
}

ssize_t pread(int fd, void* data, size_t count, off_t offset) {
  TALVEK_SEAM_NEXT(pread);
  return transfer(SysCall::Pread, count, kReads,
                  [&](size_t n) { return next(fd, data, n, offset); });
}

ssize_t pread64(int fd, void* data, size_t count, off64_t offset) {
  TALVEK_SEAM_NEXT(pread64);
  return transfer(SysCall::Pread, count, kReads,
                  [&](size_t n) { return next(fd, data, n, offset); });
}

ssize_t write(int fd, const void* data, size_t count) {
  TALVEK_SEAM_NEXT(write);
  return transfer(SysCall::Write, count, onFile(fd), [&](size_t n) { return next(fd, data, n); });
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  TALVEK_SEAM_NEXT(pwrite);
  return transfer(SysCall::Pwrite, count, onFile(fd),
                  [&](size_t n) { return next(fd, data, n, offset); });
}

ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset) {
  TALVEK_SEAM_NEXT(pwrite64);
  return transfer(SysCall::Pwrite, count, onFile(fd),
                  [&](size_t n) { return next(fd, data, n, offset); });
}

int fsync(int fd) {
  TALVEK_SEAM_NEXT(fsync);
  return syncFile(SysCall::Fsync, fd, [&] { return next(fd); });
}

int fdatasync(int fd) {
  TALVEK_SEAM_NEXT(fdatasync);
  return syncFile(SysCall::Fdatasync, fd, [&] { return next(fd); });
}

int ftruncate(int fd, off_t length) __THROW {
  TALVEK_SEAM_NEXT(ftruncate);
  return unlessFailed(SysCall::Ftruncate, onFile(fd), [&] { return next(fd, length); });
}

int ftruncate64(int fd, off64_t length) __THROW {
  TALVEK_SEAM_NEXT(ftruncate64);
  return unlessFailed(SysCall::Ftruncate, onFile(fd), [&] { return next(fd, length); });
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
  TALVEK_SEAM_NEXT(fallocate);
  return unlessFailed(SysCall::Fallocate, onFile(fd),
                      [&] { return next(fd, mode, offset, length); });
}

int fallocate64(int fd, int mode, off64_t offset, off64_t length) {
  TALVEK_SEAM_NEXT(fallocate64);
  return unlessFailed(SysCall::Fallocate, onFile(fd),
                      [&] { return next(fd, mode, offset, length); });
}

int rename(const char* from, const char* to) __THROW {
  TALVEK_SEAM_NEXT(rename);
  return unlessFailed(SysCall::Rename, kChanges, [&] { return next(from, to); });
}

int renameat(int fromDir, const char* from, int toDir, const char* to) __THROW {
  TALVEK_SEAM_NEXT(renameat);
  return unlessFailed(SysCall::Renameat, kChanges, [&] { return next(fromDir, from, toDir, to); });
}

int renameat2(int fromDir, const char* from, int toDir, const char* to,
              unsigned int flags) __THROW {
  TALVEK_SEAM_NEXT(renameat2);
  return unlessFailed(SysCall::Renameat2, kChanges,
                      [&] { return next(fromDir, from, toDir, to, flags); });
}

int link(const char* from, const char* to) __THROW {
  TALVEK_SEAM_NEXT(link);
  return unlessFailed(SysCall::Link, kChanges, [&] { return next(from, to); });
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) __THROW {
  TALVEK_SEAM_NEXT(linkat);
  return unlessFailed(SysCall::Linkat, kChanges,
                      [&] { return next(fromDir, from, toDir, to, flags); });
}

int unlink(const char* path) __THROW {
  TALVEK_SEAM_NEXT(unlink);
  return unlessFailed(SysCall::Unlink, kChanges, [&] { return next(path); });
}

int unlinkat(int dirFd, const char* path, int flags) __THROW {
  TALVEK_SEAM_NEXT(unlinkat);
  return unlessFailed(SysCall::Unlinkat, kChanges, [&] { return next(dirFd, path, flags); });
}

int mkdir(const char* path, mode_t mode) __THROW {
  TALVEK_SEAM_NEXT(mkdir);
  return unlessFailed(SysCall::Mkdir, kChanges, [&] { return next(path, mode); });
}

int mkdirat(int dirFd, const char* path, mode_t mode) __THROW {
  TALVEK_SEAM_NEXT(mkdirat);
  return unlessFailed(SysCall::Mkdir, kChanges, [&] { return next(dirFd, path, mode); });
}

int fchmod(int fd, mode_t mode) __THROW {
  TALVEK_SEAM_NEXT(fchmod);
  return unlessFailed(SysCall::Fchmod, onFile(fd), [&] { return next(fd, mode); });
}

int fchown(int fd, uid_t owner, gid_t group) __THROW {
  TALVEK_SEAM_NEXT(fchown);
  return unlessFailed(SysCall::Fchown, onFile(fd), [&] { return next(fd, owner, group); });
}

int futimens(int fd, const struct timespec times[2]) __THROW {
  TALVEK_SEAM_NEXT(futimens);
  return unlessFailed(SysCall::Futimens, onFile(fd), [&] { return next(fd, times); });
}

int utimensat(int dirFd, const char* path, const struct timespec times[2], int flags) __THROW {
  TALVEK_SEAM_NEXT(utimensat);
  return unlessFailed(SysCall::Futimens, kChanges, [&] { return next(dirFd, path, times, flags); });
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) __THROW {
  TALVEK_SEAM_NEXT(fsetxattr);
  return unlessFailed(SysCall::Fsetxattr, onFile(fd),
                      [&] { return next(fd, name, value, size, flags); });
}

int flock(int fd, int operation) __THROW {
  TALVEK_SEAM_NEXT(flock);
  return unlessFailed(SysCall::Flock, kReads, [&] { return next(fd, operation); });
}

ssize_t copy_file_range(int inFd, off64_t* inOffset, int outFd, off64_t* outOffset, size_t count,
                        unsigned int flags) {
  TALVEK_SEAM_NEXT(copy_file_range);
  return transfer(SysCall::CopyFileRange, count, onFile(outFd),
                  [&](size_t n) { return next(inFd, inOffset, outFd, outOffset, n, flags); });
}

}  // extern "C"
