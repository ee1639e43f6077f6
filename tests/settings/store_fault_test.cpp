// The store's failure branches through the fault seam: every file call of a
// write or a read failing in turn, and the move of a damaged store failing.
// Each ends as promised: the failure reported, the old value or the new one
// in place, nothing moved aside that is not damaged, no stray file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "fault_seam.h"
#include "settings/registry_access.h"
#include "settings_test_env.h"
#include "temp_dir.h"

namespace talvek {
namespace {

using test::entries;
using test::FaultPlan;
using test::namesStartingWith;
using test::SysCall;

constexpr char kKey[] = "Software\\Brellam\\Talvek";

class StoreFaultTest : public test::SettingsTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, kKey), kErrorSuccess);
    ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, kKey, "n", 42), kErrorSuccess);
  }

  std::string storeDir() const { return temp_.path() + "/config/Brellam/Talvek"; }

  // The value as a fresh instance reads it, with no fault armed.
  std::uint32_t storedValue() {
    RegistryAccess fresh(storePath());
    std::uint32_t value = 0;
    EXPECT_EQ(fresh.readDword(HKEY_CURRENT_USER, kKey, "n", value), kErrorSuccess);
    return value;
  }

  RegistryAccess registry_{storePath()};
};

struct Fault {
  SysCall call;
  int error;
};

const Fault kWriteFaults[] = {
    {SysCall::Open, EIO},   {SysCall::Open, EACCES},   {SysCall::Pread, EIO},
    {SysCall::Pwrite, EIO}, {SysCall::Pwrite, ENOSPC}, {SysCall::Fdatasync, EIO},
    {SysCall::Unlink, EIO}, {SysCall::Ftruncate, EIO}, {SysCall::Close, EIO},
    {SysCall::Read, EIO},   {SysCall::Write, EIO},     {SysCall::Fsync, EIO},
};

// Each call of a changing write fails in turn. A write that reports success
// reads back; one that fails leaves the value before it. Transient faults
// never pass for damage, and the journal does not outlive the next read.
TEST_F(StoreFaultTest, EveryCallOfAWriteFailingInTurn) {
  std::uint32_t expected = 42;
  std::uint32_t next = 100;
  for (const Fault& fault : kWriteFaults) {
    int calls = 0;
    {
      // A fresh instance each time: each runs the same calls, the check included.
      RegistryAccess registry(storePath());
      FaultPlan counting;
      ASSERT_EQ(registry.writeDword(HKEY_CURRENT_USER, kKey, "n", ++next), kErrorSuccess);
      calls = counting.calls(fault.call);
      expected = next;
    }
    for (int nth = 1; nth <= calls; ++nth) {
      SCOPED_TRACE(std::string(test::sysCallName(fault.call)) + " call " + std::to_string(nth) +
                   " of " + std::to_string(calls) + " fails with " + std::to_string(fault.error));
      RegResult result;
      {
        RegistryAccess registry(storePath());
        FaultPlan plan;
        plan.failAt(fault.call, nth, fault.error);
        result = registry.writeDword(HKEY_CURRENT_USER, kKey, "n", ++next);
        EXPECT_TRUE(plan.fired(fault.call));
      }
      if (result == kErrorSuccess) expected = next;
      EXPECT_EQ(storedValue(), expected) << "result " << result;
      EXPECT_TRUE(namesStartingWith(storeDir(), "registry.db.corrupt-").empty());
      EXPECT_EQ(entries(storeDir()), std::set<std::string>{"registry.db"});
    }
  }
}

// Each call of a read fails in turn: the read fails or gives the value; the
// caller's number is untouched on failure; nothing is moved aside.
TEST_F(StoreFaultTest, EveryCallOfAReadFailingInTurn) {
  for (SysCall call : {SysCall::Open, SysCall::Pread, SysCall::Close, SysCall::Read}) {
    int calls = 0;
    {
      RegistryAccess registry(storePath());
      FaultPlan counting;
      std::uint32_t value = 0;
      ASSERT_EQ(registry.readDword(HKEY_CURRENT_USER, kKey, "n", value), kErrorSuccess);
      calls = counting.calls(call);
    }
    for (int nth = 1; nth <= calls; ++nth) {
      SCOPED_TRACE(std::string(test::sysCallName(call)) + " call " + std::to_string(nth));
      std::uint32_t value = 7;
      RegResult result;
      {
        RegistryAccess registry(storePath());
        FaultPlan plan;
        plan.failAt(call, nth, EIO);
        result = registry.readDword(HKEY_CURRENT_USER, kKey, "n", value);
        EXPECT_TRUE(plan.fired(call));
      }
      EXPECT_TRUE(result == kErrorSuccess ? value == 42u : value == 7u) << result;
      EXPECT_NE(result, kErrorBadDb);
      // A later write still finds the store sound.
      EXPECT_EQ(registry_.writeDword(HKEY_CURRENT_USER, kKey, "m", 1), kErrorSuccess);
      EXPECT_TRUE(namesStartingWith(storeDir(), "registry.db.corrupt-").empty());
    }
  }
}

// The damaged store cannot be moved aside: the write fails and the file
// stays as it is; the next write without the fault moves it and succeeds.
TEST_F(StoreFaultTest, ADamagedStoreThatCannotBeMovedStays) {
  const std::string damaged(5000, 'x');
  test::writeFile(storePath(), damaged);
  // The rename itself, or the directory's open for the lock (the opens
  // after the store's own).
  for (const auto& [call, first] : {std::pair{SysCall::Rename, 1}, std::pair{SysCall::Open, 2}}) {
    SCOPED_TRACE(test::sysCallName(call));
    {
      FaultPlan plan;
      plan.failFrom(call, first, EMFILE);
      EXPECT_NE(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
    }
    EXPECT_EQ(test::readFile(storePath()), damaged);
    EXPECT_TRUE(namesStartingWith(storeDir(), "registry.db.corrupt-").empty());
  }
  EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "K"));
  EXPECT_EQ(namesStartingWith(storeDir(), "registry.db.corrupt-").size(), 1u);
}

// A damaged store with a write-ahead log and its index beside it, which a
// fresh store must not meet: the log goes aside with the damaged file (away
// when it cannot be moved), the index away. What is at the path here is one
// SQLite cannot open, so only the move tidies the files beside it.
TEST_F(StoreFaultTest, ADamagedStoresLogGoesWithItAndItsIndexAway) {
  for (const bool logMoveFails : {false, true}) {
    SCOPED_TRACE(logMoveFails ? "the log cannot be moved" : "the log moves");
    ASSERT_EQ(::unlink(storePath().c_str()), 0);
    ASSERT_EQ(::mkdir(storePath().c_str(), 0700), 0);
    test::writeFile(storePath() + "-wal", "a stale log");
    test::writeFile(storePath() + "-shm", std::string(32768, 's'));
    {
      FaultPlan plan;
      // The damaged file's rename is the first, its log's the second.
      if (logMoveFails) plan.failAt(SysCall::Rename, 2, EXDEV);
      EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, kKey), kErrorSuccess);
      EXPECT_EQ(plan.fired(SysCall::Rename), logMoveFails);
    }
    const auto aside = namesStartingWith(storeDir(), "registry.db.corrupt-");
    ASSERT_FALSE(aside.empty());
    std::set<std::string> expected = {"registry.db", aside[0]};
    if (!logMoveFails) {
      expected.insert(aside[0] + "-wal");
      EXPECT_EQ(test::readFile(storeDir() + "/" + aside[0] + "-wal"), "a stale log");
    }
    EXPECT_EQ(entries(storeDir()), expected);
    // The fresh store works, for another instance too.
    EXPECT_EQ(registry_.writeDword(HKEY_CURRENT_USER, kKey, "n", 43), kErrorSuccess);
    EXPECT_EQ(storedValue(), 43u);
    for (const std::string& name : aside) std::filesystem::remove_all(storeDir() + "/" + name);
  }
}

}  // namespace
}  // namespace talvek
