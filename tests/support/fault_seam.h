// Makes chosen system calls fail, or move fewer bytes, in the test program
// that links talvek_fault_seam: the library defines the calls below in the
// executable, so they stand in front of the C library's for the project's
// code and for libsqlite3, and pass straight through while nothing is armed.
// Production code is not changed and no privileges are needed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace talvek::test {

// The calls the seam stands in front of. Each counts on its own; the 64-bit
// twins of a call (pread64, open64, ftruncate64) count as the call.
enum class SysCall {
  Open,  // open, open64
  Openat,
  Close,
  Read,
  Pread,
  Write,
  Pwrite,
  Fsync,
  Fdatasync,
  Ftruncate,
  Rename,
  Renameat,
  Linkat,
  Unlink,
  CopyFileRange,
  kCount
};

const char* sysCallName(SysCall call);

// One set of faults, armed from construction to destruction; one at a time
// per process. Calls are numbered from 1 per kind of call, starting when the
// plan is made. By default only the calls of the thread that made the plan
// are counted and faulted, so a test's helpers on other threads are left
// alone; onEveryThread() changes that. A call that fails does nothing and
// sets errno; a call that is cut short does the part it is given. Where
// several rules cover a call, the one added last decides.
//
//   FaultPlan plan;
//   plan.failAt(SysCall::Fsync, 3, EIO).limitBytes(SysCall::Pwrite, 1000);
//   ... run the code ...
//   EXPECT_TRUE(plan.fired(SysCall::Fsync));
class FaultPlan {
 public:
  FaultPlan();
  ~FaultPlan();
  FaultPlan(const FaultPlan&) = delete;
  FaultPlan& operator=(const FaultPlan&) = delete;

  // Call number nth fails with error.
  FaultPlan& failAt(SysCall call, int nth, int error);
  // Call number nth and every later one fail with error.
  FaultPlan& failFrom(SysCall call, int nth, int error);
  // Call number nth returns 0 without doing anything: end of file for a
  // read, nothing written for a write, nothing copied for copy_file_range.
  // Only for the calls that move bytes.
  FaultPlan& returnZeroAt(SysCall call, int nth);
  // From call number nth on, every call moves at most maxBytes bytes. Only
  // for the calls that move bytes.
  FaultPlan& limitBytes(SysCall call, size_t maxBytes, int nth = 1);
  // Runs action just before call number nth, which then goes ahead: a
  // signal, say, that arrives at exactly that point.
  FaultPlan& runBefore(SysCall call, int nth, std::function<void()> action);
  // Counts and faults the calls of every thread, not only of this one.
  FaultPlan& onEveryThread();

  // Calls of that kind made so far, faulted ones included.
  int calls(SysCall call) const;
  // Whether a fault armed for that kind of call has acted at least once.
  bool fired(SysCall call) const;
  // Every call counted so far, for failure messages: "fsync 3, pwrite 12".
  std::string summary() const;
};

}  // namespace talvek::test
