// The fault seam: it counts and faults the calls it is armed for, from the
// project's libraries and from libsqlite3 alike, and passes everything else.
#include "fault_seam.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "directory_entries.h"
#include "platform/atomic_file.h"
#include "temp_dir.h"

namespace talvek::test {
namespace {

class FaultSeamTest : public ::testing::Test {
 protected:
  int openScratch() { return ::open(temp_.file("f").c_str(), O_RDWR | O_CREAT, 0600); }

  TempDir temp_;
};

TEST_F(FaultSeamTest, FailsOnlyTheNthCall) {
  const int fd = openScratch();
  ASSERT_GE(fd, 0);
  {
    FaultPlan plan;
    plan.failAt(SysCall::Fsync, 2, EIO);
    EXPECT_EQ(::fsync(fd), 0);
    errno = 0;
    EXPECT_EQ(::fsync(fd), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(::fsync(fd), 0);
    EXPECT_EQ(plan.calls(SysCall::Fsync), 3);
    EXPECT_TRUE(plan.fired(SysCall::Fsync));
    EXPECT_FALSE(plan.fired(SysCall::Close));
    EXPECT_EQ(plan.summary(), "fsync 3");
  }
  // Disarmed with the plan: everything passes again.
  EXPECT_EQ(::fsync(fd), 0);
  EXPECT_EQ(::close(fd), 0);
}

TEST_F(FaultSeamTest, ShortensAndEmptiesTransfers) {
  const int fd = openScratch();
  ASSERT_GE(fd, 0);
  const std::string data(5000, 'x');
  char back[5000];
  {
    FaultPlan plan;
    plan.limitBytes(SysCall::Pwrite, 1000).returnZeroAt(SysCall::Pread, 2);
    EXPECT_EQ(::pwrite(fd, data.data(), data.size(), 0), 1000);
    EXPECT_EQ(::pwrite64(fd, data.data(), 300, 1000), 300);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 1300);
    EXPECT_EQ(::pread64(fd, back, sizeof back, 0), 0);
    EXPECT_EQ(plan.calls(SysCall::Pwrite), 2);
  }
  {
    // A fault armed over a limit acts on the call it names.
    FaultPlan plan;
    plan.limitBytes(SysCall::Pread, 100)
        .returnZeroAt(SysCall::Pread, 2)
        .failAt(SysCall::Pread, 3, EIO);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 100);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 0);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), -1);
    EXPECT_EQ(::pread(fd, back, sizeof back, 0), 100);
  }
  EXPECT_EQ(::close(fd), 0);
}

TEST_F(FaultSeamTest, FailFromKeepsFailing) {
  FaultPlan plan;
  plan.failFrom(SysCall::Openat, 2, EMFILE);
  const int first = ::openat(AT_FDCWD, temp_.file("a").c_str(), O_RDWR | O_CREAT, 0600);
  EXPECT_GE(first, 0);
  for (int i = 0; i < 3; ++i) {
    errno = 0;
    EXPECT_EQ(::openat(AT_FDCWD, temp_.file("a").c_str(), O_RDONLY), -1);
    EXPECT_EQ(errno, EMFILE);
  }
  // A failing close still releases the descriptor.
  plan.failAt(SysCall::Close, 1, EIO);
  EXPECT_EQ(::close(first), -1);
  EXPECT_EQ(::fcntl(first, F_GETFD), -1);
}

TEST_F(FaultSeamTest, LeavesOtherThreadsAloneUnlessAsked) {
  const int fd = openScratch();
  ASSERT_GE(fd, 0);
  int result = 0;
  {
    FaultPlan plan;
    plan.failFrom(SysCall::Fdatasync, 1, EIO);
    std::thread([&] { result = ::fdatasync(fd); }).join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(plan.calls(SysCall::Fdatasync), 0);
    plan.onEveryThread();
    std::thread([&] { result = ::fdatasync(fd); }).join();
    EXPECT_EQ(result, -1);
  }
  EXPECT_EQ(::close(fd), 0);
}

TEST_F(FaultSeamTest, ReachesTheProjectsLibraries) {
  writeFile(temp_.file("target"), "old");
  FaultPlan plan;
  plan.failAt(SysCall::Fsync, 1, EIO);
  AtomicFile file;
  ASSERT_TRUE(file.open(temp_.file("target")).ok());
  ASSERT_TRUE(file.write("new", 3).ok());
  EXPECT_EQ(file.commit().code(), EIO);
  EXPECT_TRUE(plan.fired(SysCall::Fsync));
  EXPECT_EQ(readFile(temp_.file("target")), "old");
}

TEST_F(FaultSeamTest, ReachesSqlite) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(temp_.file("db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
  {
    FaultPlan plan;
    plan.failFrom(SysCall::Pwrite, 1, ENOSPC);
    EXPECT_NE(sqlite3_exec(db, "INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_GT(plan.calls(SysCall::Open), 0);
    EXPECT_TRUE(plan.fired(SysCall::Pwrite)) << plan.summary();
  }
  EXPECT_EQ(sqlite3_exec(db, "INSERT INTO t VALUES(2)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

// One file, a descriptor on it and one on its directory, for calls that
// each want a fresh start.
struct Scratch {
  TempDir dir;
  int fd = -1;
  int dirFd = -1;
  std::vector<int> opened;
  char byte = 0;

  Scratch() {
    writeFile(path("a"), "abcdef");
    fd = ::open(path("a").c_str(), O_RDWR);
    dirFd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  }
  ~Scratch() {
    for (const int other : opened) ::close(other);
    ::close(fd);
    ::close(dirFd);
  }
  std::string path(const char* name) const { return dir.file(name); }
  long keep(int other) {
    if (other >= 0) opened.push_back(other);
    return other;
  }
};

struct CallCase {
  SysCall kind;
  const char* name;
  std::function<long(Scratch&)> call;
};

const CallCase kCallCases[] = {
    {SysCall::Open, "open",
     [](Scratch& s) { return s.keep(::open(s.path("a").c_str(), O_RDONLY)); }},
    {SysCall::Open, "open64",
     [](Scratch& s) { return s.keep(::open64(s.path("a").c_str(), O_RDONLY)); }},
    {SysCall::Openat, "openat",
     [](Scratch& s) { return s.keep(::openat(s.dirFd, "a", O_RDONLY)); }},
    {SysCall::Openat, "openat64",
     [](Scratch& s) { return s.keep(::openat64(s.dirFd, "a", O_RDONLY)); }},
    {SysCall::Close, "close", [](Scratch& s) { return long{::close(::dup(s.fd))}; }},
    {SysCall::Read, "read", [](Scratch& s) { return ::read(s.fd, &s.byte, 1); }},
    {SysCall::Pread, "pread", [](Scratch& s) { return ::pread(s.fd, &s.byte, 1, 0); }},
    {SysCall::Pread, "pread64", [](Scratch& s) { return ::pread64(s.fd, &s.byte, 1, 0); }},
    {SysCall::Write, "write", [](Scratch& s) { return ::write(s.fd, "x", 1); }},
    {SysCall::Pwrite, "pwrite", [](Scratch& s) { return ::pwrite(s.fd, "x", 1, 0); }},
    {SysCall::Pwrite, "pwrite64", [](Scratch& s) { return ::pwrite64(s.fd, "x", 1, 0); }},
    {SysCall::Fsync, "fsync", [](Scratch& s) { return long{::fsync(s.fd)}; }},
    {SysCall::Fdatasync, "fdatasync", [](Scratch& s) { return long{::fdatasync(s.fd)}; }},
    {SysCall::Ftruncate, "ftruncate", [](Scratch& s) { return long{::ftruncate(s.fd, 2)}; }},
    {SysCall::Ftruncate, "ftruncate64", [](Scratch& s) { return long{::ftruncate64(s.fd, 2)}; }},
    {SysCall::Fallocate, "fallocate", [](Scratch& s) { return long{::fallocate(s.fd, 0, 0, 9)}; }},
    {SysCall::Fallocate, "fallocate64",
     [](Scratch& s) { return long{::fallocate64(s.fd, 0, 0, 9)}; }},
    {SysCall::Rename, "rename",
     [](Scratch& s) { return long{::rename(s.path("a").c_str(), s.path("b").c_str())}; }},
    {SysCall::Renameat, "renameat",
     [](Scratch& s) { return long{::renameat(s.dirFd, "a", s.dirFd, "b")}; }},
    {SysCall::Renameat2, "renameat2",
     [](Scratch& s) { return long{::renameat2(s.dirFd, "a", s.dirFd, "b", RENAME_NOREPLACE)}; }},
    {SysCall::Link, "link",
     [](Scratch& s) { return long{::link(s.path("a").c_str(), s.path("b").c_str())}; }},
    {SysCall::Linkat, "linkat",
     [](Scratch& s) { return long{::linkat(s.dirFd, "a", s.dirFd, "b", 0)}; }},
    {SysCall::Unlink, "unlink", [](Scratch& s) { return long{::unlink(s.path("a").c_str())}; }},
    {SysCall::Unlinkat, "unlinkat", [](Scratch& s) { return long{::unlinkat(s.dirFd, "a", 0)}; }},
    {SysCall::Mkdir, "mkdir", [](Scratch& s) { return long{::mkdir(s.path("d").c_str(), 0700)}; }},
    {SysCall::Mkdir, "mkdirat", [](Scratch& s) { return long{::mkdirat(s.dirFd, "d", 0700)}; }},
    {SysCall::Fchmod, "fchmod", [](Scratch& s) { return long{::fchmod(s.fd, 0640)}; }},
    {SysCall::Fchown, "fchown",
     [](Scratch& s) { return long{::fchown(s.fd, ::getuid(), ::getgid())}; }},
    {SysCall::Futimens, "futimens", [](Scratch& s) { return long{::futimens(s.fd, nullptr)}; }},
    {SysCall::Futimens, "utimensat",
     [](Scratch& s) { return long{::utimensat(s.dirFd, "a", nullptr, 0)}; }},
    {SysCall::Fsetxattr, "fsetxattr",
     [](Scratch& s) { return long{::fsetxattr(s.fd, "user.talvek", "v", 1, 0)}; }},
    {SysCall::Flock, "flock", [](Scratch& s) { return long{::flock(s.fd, LOCK_EX)}; }},
    {SysCall::CopyFileRange, "copy_file_range",
     [](Scratch& s) {
       off64_t from = 0;
       off64_t to = 3;
       return ::copy_file_range(s.fd, &from, s.fd, &to, 3, 0);
     }},
};

TEST(FaultSeamCallsTest, EachCallCountsOnceAsItsKindAndFailsWithoutEffect) {
  std::set<std::string> kinds;
  for (const CallCase& c : kCallCases) {
    SCOPED_TRACE(c.name);
    if (c.name == std::string(sysCallName(c.kind))) kinds.insert(c.name);
    Scratch scratch;
    {
      FaultPlan plan;
      plan.failAt(c.kind, 1, ENOTRECOVERABLE);
      errno = 0;
      EXPECT_EQ(c.call(scratch), -1);
      EXPECT_EQ(errno, ENOTRECOVERABLE);
    }
    // Had the failed call acted, renaming, linking or making the directory
    // again would not work.
    FaultPlan plan;
    errno = 0;
    const long result = c.call(scratch);
    if (c.kind == SysCall::Fsetxattr && errno == ENOTSUP) continue;
    EXPECT_GE(result, 0) << std::strerror(errno);
    EXPECT_EQ(plan.callOrder(), std::vector<SysCall>{c.kind});
    EXPECT_EQ(plan.allCalls(), 1);
  }
  EXPECT_EQ(kinds.size(), static_cast<size_t>(SysCall::kCount)) << "a kind untried or misnamed";
}

TEST_F(FaultSeamTest, NumbersCallsOverAllKindsAndRunsActionsJustBeforeOne) {
  writeFile(temp_.file("a"), "old");
  const int fd = openScratch();
  ASSERT_GE(fd, 0);
  std::string seen;
  FaultPlan plan;
  // The action runs whatever fault the call has.
  plan.failAt(SysCall::Rename, 1, EIO).runBeforeCall(3, [&] {
    seen =
        std::to_string(pathExists(temp_.file("a"))) + std::to_string(pathExists(temp_.file("f")));
  });
  EXPECT_EQ(::pwrite(fd, "x", 1, 0), 1);
  EXPECT_EQ(::unlink(temp_.file("a").c_str()), 0);
  EXPECT_EQ(::rename(temp_.file("f").c_str(), temp_.file("g").c_str()), -1);
  EXPECT_EQ(::fsync(fd), 0);
  EXPECT_EQ(seen, "01");
  const std::vector<SysCall> order = plan.callOrder();
  EXPECT_EQ(order, (std::vector<SysCall>{SysCall::Pwrite, SysCall::Unlink, SysCall::Rename,
                                         SysCall::Fsync}));
  EXPECT_EQ(plan.allCalls(), 4);
  EXPECT_EQ(describeCall(order, 3), "rename 1 (call 3 of 4)");
  EXPECT_EQ(describeCall(order, 5), "no call (call 5 of 4)");
  ::close(fd);
}

TEST_F(FaultSeamTest, KillsAForkedChildJustBeforeTheNthCall) {
  // Written beside its name, synced and renamed in: five calls.
  const std::string name = temp_.file("name");
  const std::string beside = temp_.file("beside");
  const auto save = [&] {
    const int fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::write(fd, "new", 3);
    ::fsync(fd);
    ::close(fd);
    ::rename(beside.c_str(), name.c_str());
  };
  for (int nth = 1; nth <= 6; ++nth) {
    SCOPED_TRACE(nth);
    ::unlink(beside.c_str());
    const int status = runInChild([&] {
      FaultPlan plan;
      plan.runBeforeCall(nth, [] { ::raise(SIGKILL); });
      save();
      return plan.allCalls() == 5 ? 0 : 1;
    });
    if (nth <= 5) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      EXPECT_EQ(pathExists(beside), nth > 1);
      EXPECT_FALSE(pathExists(name));
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      EXPECT_EQ(readFile(name), "new");
    }
  }
}

// A directory with a subdirectory, both watched for a power cut: "a" and
// its second name "h", and "b", all durable.
struct WatchedDirs {
  static constexpr char kOld[] = "0123456789";

  WatchedDirs() {
    ::mkdir(temp_.file("sub").c_str(), 0700);
    writeFile(temp_.file("a"), kOld);
    writeFile(temp_.file("b"), "bee");
    ::link(temp_.file("a").c_str(), temp_.file("h").c_str());
    dirFd_ = ::open(temp_.path().c_str(), O_RDONLY | O_DIRECTORY);
    subFd_ = ::open(temp_.file("sub").c_str(), O_RDONLY | O_DIRECTORY);
    before_ = inodes();
  }
  ~WatchedDirs() {
    ::close(dirFd_);
    ::close(subFd_);
  }

  std::vector<std::string> watched() const { return {temp_.path(), temp_.file("sub")}; }
  std::string path(const std::string& name) const { return temp_.file(name); }

  // The regular files in both directories, "sub/" before the names in there.
  std::map<std::string, ino_t> inodes() const {
    std::map<std::string, ino_t> found;
    for (const std::string& prefix : {std::string(), std::string("sub/")}) {
      for (const std::string& name : entries(path(prefix.empty() ? "." : "sub"))) {
        struct stat st;
        if (::lstat(path(prefix + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
          found.emplace(prefix + name, st.st_ino);
        }
      }
    }
    return found;
  }

  TempDir temp_;
  int dirFd_ = -1;
  int subFd_ = -1;
  std::map<std::string, ino_t> before_;
};

class PowerCutTest : public ::testing::Test, protected WatchedDirs {};

// Steps for the scripts, one call each where they can be.
struct Disk {
  const WatchedDirs& test;
  int dirFd;
  int subFd;

  int openRw(const char* name) const { return ::open(test.path(name).c_str(), O_RDWR); }
  // Write-only, so that a sync of it cannot be read back through it.
  int create(const char* name) const {
    return ::open(test.path(name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0640);
  }
  int tmpfile() const { return ::openat(dirFd, ".", O_TMPFILE | O_RDWR, 0600); }
  void put(int fd, const char* bytes, off_t offset = 0) const {
    ::pwrite(fd, bytes, std::strlen(bytes), offset);
  }
  void rename(const char* from, const char* to) const {
    ::rename(test.path(from).c_str(), test.path(to).c_str());
  }
  void linkFd(int fd, const char* name) const {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    ::linkat(AT_FDCWD, self.c_str(), dirFd, name, AT_SYMLINK_FOLLOW);
  }
  void unlink(const char* name) const { ::unlinkat(dirFd, name, 0); }
};

struct PowerCase {
  const char* name;
  void (*script)(const Disk&);                   // then the power goes off
  std::map<std::string, std::string> after;      // every file left, with its bytes
  std::map<std::string, std::string> inodeFrom;  // file after: the file before whose inode it is
  std::vector<std::string> oneInode;             // files after that are one
};

const PowerCase kPowerCases[] = {
    {"written at offsets, not synced",
     [](const Disk& d) {
       const int fd = d.openRw("a");
       d.put(fd, "xx", 3);
       d.put(fd, "yy", 12);
       ::close(fd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}},
     {{"a", "a"}, {"h", "a"}},
     {"a", "h"}},
    {"written, synced, written again",
     [](const Disk& d) {
       const int fd = d.openRw("h");
       d.put(fd, "xx", 3);
       ::fdatasync(fd);
       d.put(fd, "zz", 0);
       ::close(fd);
     },
     {{"a", "012xx56789"}, {"h", "012xx56789"}, {"b", "bee"}},
     {{"a", "a"}, {"h", "a"}},
     {"a", "h"}},
    {"truncated, not synced",
     [](const Disk& d) { ::close(::open(d.test.path("b").c_str(), O_WRONLY | O_TRUNC)); },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}},
     {{"b", "b"}},
     {}},
    {"new file synced, its name not",
     [](const Disk& d) {
       const int fd = d.create("n");
       d.put(fd, "new");
       ::fsync(fd);
       ::close(fd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}},
     {},
     {}},
    {"new file and its name synced",
     [](const Disk& d) {
       const int fd = d.create("n");
       d.put(fd, "new");
       ::fsync(fd);
       ::close(fd);
       ::fsync(d.dirFd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}, {"n", "new"}},
     {},
     {}},
    {"new name synced, its bytes not",
     [](const Disk& d) {
       const int fd = d.create("n");
       d.put(fd, "new");
       ::close(fd);
       ::fsync(d.dirFd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}, {"n", ""}},
     {},
     {}},
    {"renamed over a name, not synced",
     [](const Disk& d) {
       const int fd = d.create("t");
       d.put(fd, "new");
       ::fsync(fd);
       ::close(fd);
       d.rename("t", "a");
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}},
     {{"a", "a"}, {"h", "a"}},
     {"a", "h"}},
    {"renamed over a name, synced",
     [](const Disk& d) {
       const int fd = d.create("t");
       d.put(fd, "new");
       ::fsync(fd);
       ::close(fd);
       d.rename("t", "a");
       ::fsync(d.dirFd);
     },
     {{"a", "new"}, {"h", "0123456789"}, {"b", "bee"}},
     {{"h", "a"}},
     {}},
    {"names swapped, not synced, no spare name",
     [](const Disk& d) {
       d.unlink("h");
       ::fsync(d.dirFd);
       d.rename("a", "t");
       d.rename("b", "a");
       d.rename("t", "b");
     },
     {{"a", "0123456789"}, {"b", "bee"}},
     {{"a", "a"}, {"b", "b"}},
     {}},
    {"names swapped, synced",
     [](const Disk& d) {
       d.rename("a", "t");
       d.rename("b", "a");
       d.rename("t", "b");
       ::fsync(d.dirFd);
     },
     {{"a", "bee"}, {"h", "0123456789"}, {"b", "0123456789"}},
     {{"a", "b"}, {"h", "a"}, {"b", "a"}},
     {"b", "h"}},
    {"unnamed file synced, linked, its directory synced",
     [](const Disk& d) {
       const int fd = d.tmpfile();
       d.put(fd, "tmp");
       ::fsync(fd);
       d.linkFd(fd, "n");
       ::fsync(d.dirFd);
       ::close(fd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}, {"n", "tmp"}},
     {},
     {}},
    {"unnamed file synced and linked, its directory not",
     [](const Disk& d) {
       const int fd = d.tmpfile();
       d.put(fd, "tmp");
       ::fsync(fd);
       d.linkFd(fd, "n");
       ::close(fd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}},
     {},
     {}},
    {"every name unlinked, not synced",
     [](const Disk& d) {
       d.unlink("a");
       d.unlink("h");
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}},
     {},
     {"a", "h"}},
    {"one of two names unlinked, synced",
     [](const Disk& d) {
       d.unlink("a");
       ::fsync(d.dirFd);
     },
     {{"h", "0123456789"}, {"b", "bee"}},
     {{"h", "a"}},
     {}},
    {"moved to a directory synced only there",
     [](const Disk& d) {
       d.rename("a", "sub/a");
       ::fsync(d.subFd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}, {"sub/a", "0123456789"}},
     {{"a", "a"}, {"h", "a"}, {"sub/a", "a"}},
     {"a", "h", "sub/a"}},
    {"a new file in the inode of one unlinked",
     [](const Disk& d) {
       // The new file may well get b's old inode number.
       d.unlink("b");
       const int fd = ::openat(d.subFd, "n", O_WRONLY | O_CREAT, 0600);
       d.put(fd, "new");
       ::close(fd);
       ::fsync(d.subFd);
     },
     {{"a", "0123456789"}, {"h", "0123456789"}, {"b", "bee"}, {"sub/n", ""}},
     {{"a", "a"}},
     {"a", "h"}},
};

TEST_F(PowerCutTest, LeavesWhatWasLastMadeDurable) {
  for (const PowerCase& c : kPowerCases) {
    SCOPED_TRACE(c.name);
    WatchedDirs fresh;
    {
      FaultPlan plan;
      plan.cutPowerBefore(INT_MAX, fresh.watched());
      c.script(Disk{fresh, fresh.dirFd_, fresh.subFd_});
      plan.cutPowerNow();
      plan.restartAfterPowerCut();
    }
    const std::map<std::string, ino_t> after = fresh.inodes();
    std::map<std::string, std::string> bytes;
    for (const auto& [name, inode] : after) bytes.emplace(name, readFile(fresh.path(name)));
    EXPECT_EQ(bytes, c.after);
    for (const auto& [name, from] : c.inodeFrom) {
      EXPECT_EQ(after.at(name), fresh.before_.at(from)) << name << " is not " << from << "'s inode";
    }
    for (const std::string& name : c.oneInode) {
      EXPECT_EQ(after.at(name), after.at(c.oneInode.front())) << name;
    }
  }
}

TEST_F(PowerCutTest, AfterTheCutNothingChangesAFile) {
  const int fd = ::open(path("a").c_str(), O_RDWR);
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  struct stat before;
  ASSERT_EQ(::fstat(fd, &before), 0);
  off64_t from = 0;
  const std::pair<const char*, std::function<long()>> changes[] = {
      {"open O_CREAT", [&] { return long{::open(path("n").c_str(), O_RDONLY | O_CREAT, 0600)}; }},
      {"open O_WRONLY", [&] { return long{::open(path("a").c_str(), O_WRONLY)}; }},
      {"open O_TRUNC", [&] { return long{::open(path("a").c_str(), O_RDONLY | O_TRUNC)}; }},
      {"openat O_TMPFILE", [&] { return long{::openat(dirFd_, ".", O_TMPFILE | O_RDWR, 0600)}; }},
      {"write", [&] { return ::write(fd, "x", 1); }},
      {"pwrite", [&] { return ::pwrite(fd, "x", 1, 20); }},
      {"ftruncate", [&] { return long{::ftruncate(fd, 0)}; }},
      {"fallocate", [&] { return long{::fallocate(fd, 0, 0, 4096)}; }},
      {"fsync", [&] { return long{::fsync(fd)}; }},
      {"fdatasync of the directory", [&] { return long{::fdatasync(dirFd_)}; }},
      {"rename", [&] { return long{::rename(path("a").c_str(), path("n").c_str())}; }},
      {"renameat2", [&] { return long{::renameat2(dirFd_, "b", dirFd_, "a", RENAME_EXCHANGE)}; }},
      {"link", [&] { return long{::link(path("a").c_str(), path("n").c_str())}; }},
      {"linkat",
       [&] { return long{::linkat(AT_FDCWD, self.c_str(), dirFd_, "n", AT_SYMLINK_FOLLOW)}; }},
      {"unlink", [&] { return long{::unlink(path("a").c_str())}; }},
      {"unlinkat", [&] { return long{::unlinkat(dirFd_, "sub", AT_REMOVEDIR)}; }},
      {"mkdirat", [&] { return long{::mkdirat(dirFd_, "d", 0700)}; }},
      {"fchmod", [&] { return long{::fchmod(fd, 0)}; }},
      {"fchown", [&] { return long{::fchown(fd, kNobody, kNobody)}; }},
      {"futimens", [&] { return long{::futimens(fd, nullptr)}; }},
      {"utimensat", [&] { return long{::utimensat(dirFd_, "b", nullptr, 0)}; }},
      {"fsetxattr", [&] { return long{::fsetxattr(fd, "user.talvek", "v", 1, 0)}; }},
      {"copy_file_range", [&] { return ::copy_file_range(fd, &from, fd, nullptr, 4, 0); }},
  };
  FaultPlan plan;
  plan.cutPowerBefore(1, watched());
  for (const auto& [name, call] : changes) {
    errno = 0;
    EXPECT_EQ(call(), -1) << name;
    EXPECT_EQ(errno, EIO) << name;
  }
  // Reading, locking and closing go ahead, and so do writes to a pipe.
  char back[16];
  EXPECT_EQ(::pread(fd, back, sizeof back, 0), 10);
  EXPECT_EQ(::flock(fd, LOCK_SH), 0);
  EXPECT_EQ(::close(::open(path("b").c_str(), O_RDONLY)), 0);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  EXPECT_EQ(::write(pipeFds[1], "x", 1), 1);
  EXPECT_TRUE(plan.powerWasCut());
  // Nothing to put back either.
  for (const bool restarted : {false, true}) {
    SCOPED_TRACE(restarted ? "restarted" : "before the restart");
    if (restarted) plan.restartAfterPowerCut();
    struct stat after;
    ASSERT_EQ(::fstat(fd, &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec) << "the file's metadata changed";
    EXPECT_EQ(inodes(), before_);
    EXPECT_EQ(entries(temp_.path()), (std::set<std::string>{"a", "b", "h", "sub"}));
    EXPECT_EQ(readFile(path("b")), "bee");
  }
  for (const int other : {fd, pipeFds[0], pipeFds[1]}) ::close(other);
}

TEST_F(PowerCutTest, ComesAtTheNthCallOfAnyKindAndOnlyThen) {
  const int fd = ::open(path("a").c_str(), O_RDWR);
  char byte;
  {
    FaultPlan plan;
    plan.cutPowerBefore(3, watched());
    EXPECT_EQ(::pwrite(fd, "xx", 2, 0), 2);
    EXPECT_EQ(::pread(fd, &byte, 1, 0), 1);
    EXPECT_FALSE(plan.powerWasCut());
    EXPECT_EQ(::pread(fd, &byte, 1, 0), 1);
    EXPECT_TRUE(plan.powerWasCut());
    EXPECT_EQ(::fsync(fd), -1);
    // The end of the plan restarts: the write was never synced.
  }
  EXPECT_EQ(readFile(path("a")), kOld);
  std::optional<FaultPlan> plan(std::in_place);
  plan->cutPowerBefore(4, watched());
  EXPECT_EQ(::pwrite(fd, "xx", 2, 0), 2);
  plan->restartAfterPowerCut();
  EXPECT_FALSE(plan->powerWasCut());
  EXPECT_EQ(readFile(path("a")), "xx23456789");
  // Once restarted, the plan leaves a new one alone, to fault recovery.
  FaultPlan recovery;
  recovery.failAt(SysCall::Fsync, 1, EIO);
  plan.reset();
  EXPECT_EQ(::fsync(fd), -1);
  ::close(fd);
}

}  // namespace
}  // namespace talvek::test
