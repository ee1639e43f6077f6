// Makes chosen system calls fail, or move fewer bytes, in the test program
// that links talvek_fault_seam: the library defines the calls below in the
// executable, so they stand in front of the C library's for the project's
// code and for libsqlite3, and pass straight through while nothing is armed.
// It can also stop a run at any call, and model a power cut there.
// Production code is not changed and no privileges are needed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace talvek::test {

// The calls the seam stands in front of. Each kind counts on its own; the
// 64-bit twins of a call (pread64, open64, ftruncate64, fallocate64) count
// as the call. Calls the C library makes internally (fopen, mkstemp,
// posix_fallocate, stdio's reads and writes) do not pass through here, nor
// do calls not listed (fchmodat, symlink, rmdir, truncate, setxattr).
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
  Fallocate,
  Rename,
  Renameat,
  Renameat2,
  Link,
  Linkat,
  Unlink,
  Unlinkat,
  Mkdir,  // mkdir, mkdirat
  Fchmod,
  Fchown,
  Futimens,  // futimens, utimensat
  Fsetxattr,
  Flock,
  CopyFileRange,
  kCount
};

const char* sysCallName(SysCall call);

// Names call number nth of a run whose calls came in `order`, for failure
// messages: "pwrite 3 (call 17 of 40)", the 3 being what failAt takes.
std::string describeCall(const std::vector<SysCall>& order, int nth);

// One set of faults, armed from construction to destruction; one at a time
// per process. Calls are numbered from 1, per kind of call and over all
// kinds, starting when the plan is made. By default only the calls of the
// thread that made the plan (or of a process forked from it) are counted and
// faulted, so a test's helpers on other threads are left alone;
// onEveryThread() changes that. A call that fails does nothing and sets
// errno; a call that is cut short does the part it is given. Where several
// faults cover a call, the one added last decides; actions to run before a
// call all run, whatever the faults.
//
//   FaultPlan plan;
//   plan.failAt(SysCall::Fsync, 3, EIO).limitBytes(SysCall::Pwrite, 1000);
//   ... run the code ...
//   EXPECT_TRUE(plan.fired(SysCall::Fsync));
class FaultPlan {
 public:
  FaultPlan();
  // Restarts after a power cut if the test has not (restartAfterPowerCut).
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
  // The same before call number nth of any kind (see allCalls), already
  // counted when the action runs: raise(SIGKILL) in a forked child stops a
  // run before each of its calls in turn.
  FaultPlan& runBeforeCall(int nth, std::function<void()> action);
  // Counts and faults the calls of every thread, not only of this one.
  FaultPlan& onEveryThread();
  // Every open that would make an unnamed file (O_TMPFILE) fails with
  // EOPNOTSUPP, as on a file system that has none. The call still counts.
  FaultPlan& withoutUnnamedFiles();

  // The power goes off just before call number nth of any kind, for the
  // regular files directly in `directories` (not in subdirectories), which
  // must exist. What they hold now is durable. Until the cut, a successful
  // fsync or fdatasync makes a file's bytes durable, or a watched
  // directory's names (which inode each name is). From call nth on, every
  // call that would change a file or directory fails with EIO and does
  // nothing: opens that create, truncate or may write, writes, syncs,
  // truncations, allocations, renames, links, unlinks, mkdir, changes of
  // mode, owner, times or attributes, copy_file_range. Reads, stat, close
  // and flock go ahead, as do writes to pipes and terminals. Watch every
  // directory the code moves files between; a file it brings in from
  // elsewhere was never durable. Only the calls the plan counts are watched
  // and cut (see onEveryThread). Once per plan.
  //
  // What happens to bytes written and never synced is the disk's affair:
  // by default they are lost (LostWrites); with WrittenBack every file that
  // still has a name keeps what was written to it, as if the kernel had
  // flushed every page in time, and only names and links not yet synced are
  // lost. A journal that must be durable before the file it protects is
  // overwritten shows its worth only in the second case.
  enum class UnsyncedBytes { LostWrites, WrittenBack };
  FaultPlan& cutPowerBefore(int nth, std::vector<std::string> directories,
                            UnsyncedBytes unsynced = UnsyncedBytes::LostWrites);
  // Cuts the power at once, before the call cutPowerBefore armed: for a cut
  // after the last call of a run.
  void cutPowerNow();
  // Whether the power has been cut.
  bool powerWasCut() const;
  // Disarms the plan (the code then runs undisturbed and uncounted, and a
  // new plan may be made) and, if the power was cut, rewrites the watched
  // directories to what the disk would hold after it: each directory
  // exactly its durable names, each name's file the durable bytes of its
  // inode (empty for an inode created since and never synced). An inode
  // still under some name in the watched directories is rewritten in place
  // and linked to every name it must have, so its device and inode number
  // survive; one no longer there comes back as a new file with its mode.
  // Other metadata stays as it is. Does nothing when called again.
  void restartAfterPowerCut();

  // Calls of that kind made so far, faulted ones included.
  int calls(SysCall call) const;
  // Calls of every kind made so far.
  int allCalls() const;
  // The kinds of the calls made so far, in order; see describeCall.
  std::vector<SysCall> callOrder() const;
  // Whether a fault armed for that kind of call has acted at least once.
  bool fired(SysCall call) const;
  // Every call counted so far, for failure messages: "fsync 3, pwrite 12".
  std::string summary() const;
  // (The counts stay readable after a restart, until the next plan is made.)
};

}  // namespace talvek::test
