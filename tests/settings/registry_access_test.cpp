// The SQLite store behind RegistryAccess: where it lives, when its file is
// made, texts as bytes, and damaged database files. What every store
// promises is in registry_contract_test.cpp.
#include "settings/registry_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "child_process.h"
#include "settings/posix/lock_wait.h"
#include "settings/posix/store_file.h"
#include "platform/user_dirs.h"
#include "settings_test_env.h"
#include "temp_dir.h"

namespace talvek {
namespace {

using test::namesStartingWith;
using test::pathExists;
using test::readFile;
using test::writeFile;

class RegistryAccessTest : public test::SettingsTest {
 protected:
  RegistryAccess registry_{storePath()};
};

TEST_F(RegistryAccessTest, DefaultLocationFollowsXdgConfigHome) {
  EXPECT_EQ(defaultRegistryLocation(), storePath());
  env_.unset("XDG_CONFIG_HOME");
  EXPECT_EQ(defaultRegistryLocation(), temp_.path() + "/home/.config/Brellam/Talvek/registry.db");
  // A relative value is not a base directory.
  env_.set("XDG_CONFIG_HOME", "relative/config");
  EXPECT_EQ(defaultRegistryLocation(), temp_.path() + "/home/.config/Brellam/Talvek/registry.db");
}

TEST_F(RegistryAccessTest, ReadsAndRefusedWritesCreateNoFile) {
  std::uint32_t value = 77;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "Software", "x", value), kErrorFileNotFound);
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "Software"));
  for (const char* path : {"\\Software", "Software\\", "Software\\\\Brellam"}) {
    EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, path), kErrorBadPathname) << path;
  }
  EXPECT_EQ(registry_.setDefaultString(HKEY_CURRENT_USER, "Software", "text"), kErrorFileNotFound);
  EXPECT_FALSE(pathExists(storePath()));
  EXPECT_FALSE(pathExists(temp_.path() + "/config"));
}

// The store keeps texts as bytes: one that is no UTF-8 (Latin-1 here) comes
// back unchanged.
TEST_F(RegistryAccessTest, TextsAreKeptByteForByte) {
  ASSERT_EQ(registry_.ensureKey(HKEY_CLASSES_ROOT, "Talvek\\shell\\open"), kErrorSuccess);
  const std::string text = "&Decode with Talvek \xe4\xf6 \"quoted\" %1";
  ASSERT_EQ(registry_.setDefaultString(HKEY_CLASSES_ROOT, "Talvek\\shell\\open", text),
            kErrorSuccess);
  RegistryType type = REG_NONE;
  std::string data;
  ASSERT_EQ(registry_.queryValue(HKEY_CLASSES_ROOT, "Talvek\\shell\\open", "", type, data),
            kErrorSuccess);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(data, text + '\0');
}

TEST_F(RegistryAccessTest, NoStoreWithoutALocation) {
  RegistryAccess nowhere("");
  std::uint32_t value = 0;
  EXPECT_EQ(nowhere.ensureKey(HKEY_CURRENT_USER, "K"), kErrorAccessDenied);
  EXPECT_EQ(nowhere.readDword(HKEY_CURRENT_USER, "K", "n", value), kErrorFileNotFound);
}

// A store whose file was damaged after the value 42 was written to it.
class DamagedStoreTest : public RegistryAccessTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek"), kErrorSuccess);
    ASSERT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", 42),
              kErrorSuccess);
    // Enough data for several pages, so parts of the file can go missing.
    ASSERT_EQ(registry_.ensureKey(HKEY_CLASSES_ROOT, "Key0"), kErrorSuccess);
    ASSERT_EQ(
        registry_.setValue(HKEY_CLASSES_ROOT, "Key0", "big", REG_BINARY, std::string(10000, 'b')),
        kErrorSuccess);
    original_ = readFile(storePath());
    ASSERT_GE(original_.size(), 3 * 4096u);
  }

  std::string storeDir() const { return temp_.path() + "/config/Brellam/Talvek"; }

  // Root ignores permission bits, so as root the body runs in a child as an
  // unprivileged user who owns the test's files. Returns the body's result,
  // or -1 when the child could not run it.
  int withoutPrivileges(const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(temp_.path(), ec)) {
      if (::lchown(entry.path().c_str(), test::kNobody, test::kNobody) != 0) return -1;
    }
    if (::chown(temp_.path().c_str(), test::kNobody, test::kNobody) != 0) return -1;
    const int status = test::runInChild([&] { return test::becomeNobody() ? body() : 90; });
    return WIFEXITED(status) && WEXITSTATUS(status) != 90 ? WEXITSTATUS(status) : -1;
  }

  // Reads give nothing; the next write moves the file aside, keeping its
  // bytes, and a fresh store takes its place.
  void expectRecovery(const std::string& damaged) {
    std::uint32_t value = 7;
    const RegResult read =
        registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", value);
    EXPECT_NE(read, kErrorSuccess);
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(namesStartingWith(storeDir(), "registry.db.corrupt-").empty());

    EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek"), kErrorSuccess);
    const auto aside = namesStartingWith(storeDir(), "registry.db.corrupt-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(storeDir() + "/" + aside[0]), damaged);
    EXPECT_EQ(registry_.writeDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", 9),
              kErrorSuccess);
    EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", value),
              kErrorSuccess);
    EXPECT_EQ(value, 9u);
    EXPECT_FALSE(registry_.keyExists(HKEY_CLASSES_ROOT, "Key0"));
  }

  std::string original_;
};

TEST_F(DamagedStoreTest, NotADatabase) {
  const std::string text(5000, 'x');
  writeFile(storePath(), text);
  std::uint32_t value = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", value),
            kErrorBadDb);
  expectRecovery(text);
}

TEST_F(DamagedStoreTest, Truncated) {
  for (const std::size_t length : {std::size_t{4096}, std::size_t{1000}}) {
    SCOPED_TRACE(length);
    writeFile(storePath(), original_.substr(0, length));
    expectRecovery(original_.substr(0, length));
    for (const auto& name : namesStartingWith(storeDir(), "registry.db.corrupt-")) {
      std::filesystem::remove(storeDir() + "/" + name);
    }
    writeFile(storePath(), original_);
  }
}

TEST_F(DamagedStoreTest, OverwrittenPages) {
  std::string damaged = original_;
  for (std::size_t i = 4096; i < damaged.size(); ++i) damaged[i] = '\xff';
  writeFile(storePath(), damaged);
  expectRecovery(damaged);
}

// Files that SQLite opens and that the store's statements read or write
// without a complaint, or with one that used to pass for a lock or I/O
// failure: writes were lost, or failed forever without the file being moved.
TEST_F(DamagedStoreTest, DamageTheStatementsMiss) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string unsupported = original_;
  unsupported[47] = 5;  // schema format number, 1 to 4
  // Found by fuzzing: overlapping cells and a child pointer past the end.
  // Writes report success; the quick check finds it.
  const std::string lost = readFile(TALVEK_SETTINGS_TEST_DATA "/lost_writes.db");
  for (const Case& c :
       {Case{"unsupported schema format", unsupported}, Case{"lost writes", lost}}) {
    SCOPED_TRACE(c.name);
    writeFile(storePath(), c.bytes);
    expectRecovery(c.bytes);
    for (const auto& name : namesStartingWith(storeDir(), "registry.db.corrupt-")) {
      std::filesystem::remove(storeDir() + "/" + name);
    }
  }
}

// A write version that only a future SQLite writes: the file reads, but no
// write would ever take; it goes aside like a damaged one.
TEST_F(DamagedStoreTest, NewerFormatThatTakesNoWrites) {
  std::string newer = original_;
  newer[18] = 3;
  writeFile(storePath(), newer);
  std::uint32_t value = 0;
  EXPECT_EQ(registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", value),
            kErrorSuccess);
  EXPECT_EQ(value, 42u);
  EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "K"));
  const auto aside = namesStartingWith(storeDir(), "registry.db.corrupt-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(readFile(storeDir() + "/" + aside[0]), newer);
}

// Another instance moved the damaged file aside first and is writing a fresh
// store in its place, journal, log and all: only the file found damaged goes.
TEST_F(DamagedStoreTest, OnlyTheFileFoundDamagedIsMovedAside) {
  writeFile(storePath(), std::string(5000, 'x'));
  const StoreFileIdentity damaged = storeFileIdentity(storePath());
  LockWait wait;
  ASSERT_EQ(::rename(storePath().c_str(), (storePath() + ".corrupt-by-another").c_str()), 0);
  ASSERT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "Fresh"), kErrorSuccess);
  const std::string fresh = readFile(storePath());
  const std::vector<std::pair<std::string, std::string>> live = {
      {"-journal", "a live journal"}, {"-wal", "a live log"}, {"-shm", "its index"}};
  for (const auto& [suffix, bytes] : live) writeFile(storePath() + suffix, bytes);

  EXPECT_TRUE(moveStoreAside(storePath(), damaged, wait));
  EXPECT_EQ(readFile(storePath()), fresh);
  for (const auto& [suffix, bytes] : live) EXPECT_EQ(readFile(storePath() + suffix), bytes);
  EXPECT_TRUE(namesStartingWith(storeDir(), "registry.db.corrupt-2").empty());

  // The file found damaged goes, with its journal and log; the index goes.
  EXPECT_TRUE(moveStoreAside(storePath(), storeFileIdentity(storePath()), wait));
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    EXPECT_FALSE(pathExists(storePath() + suffix)) << suffix;
  }
  const auto aside = namesStartingWith(storeDir(), "registry.db.corrupt-2");
  ASSERT_EQ(aside.size(), 3u);
  EXPECT_EQ(readFile(storeDir() + "/" + aside[0]), fresh);
  EXPECT_EQ(readFile(storeDir() + "/" + aside[0] + "-wal"), "a live log");
}

// Instances that start together on a damaged store all recover it: one
// moves it aside, none moves the fresh store that follows, every write
// takes.
TEST_F(DamagedStoreTest, SeveralInstancesRecoverTogether) {
  constexpr int kInstances = 6;
  constexpr int kRounds = 3;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    const std::string damaged(5000 + round, 'x');
    writeFile(storePath(), damaged);
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int child = 0; child < kInstances; ++child) {
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        ::close(go[1]);
        char byte;
        while (::read(go[0], &byte, 1) > 0) {
        }
        RegistryAccess registry(storePath());
        const std::string key = "Software\\Instance" + std::to_string(child);
        int failed = 0;
        for (std::uint32_t i = 0; i < 2; ++i) {
          std::uint32_t value = 0;
          if (registry.ensureKey(HKEY_CURRENT_USER, key) != kErrorSuccess) failed |= 1;
          if (registry.writeDword(HKEY_CURRENT_USER, key, "n", i) != kErrorSuccess) failed |= 2;
          if (registry.readDword(HKEY_CURRENT_USER, key, "n", value) != kErrorSuccess ||
              value != i) {
            failed |= 4;
          }
        }
        ::_exit(failed);
      }
      children.push_back(pid);
    }
    ::close(go[0]);
    ::close(go[1]);
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << "failed: " << (WIFEXITED(status) ? WEXITSTATUS(status) : -status);
    }
    const auto aside = namesStartingWith(storeDir(), "registry.db.corrupt-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(storeDir() + "/" + aside[0]), damaged);
    for (int child = 0; child < kInstances; ++child) {
      EXPECT_TRUE(
          registry_.keyExists(HKEY_CURRENT_USER, "Software\\Instance" + std::to_string(child)));
    }
    std::filesystem::remove(storeDir() + "/" + aside[0]);
  }
}

TEST_F(DamagedStoreTest, StaleJournalGoesAsideWithIt) {
  writeFile(storePath(), std::string(5000, 'x'));
  writeFile(storePath() + "-journal", std::string(600, 'j'));
  EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
  EXPECT_FALSE(pathExists(storePath() + "-journal"));
  EXPECT_FALSE(namesStartingWith(storeDir(), "registry.db.corrupt-").empty());
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "K"));
}

TEST_F(DamagedStoreTest, SomethingElseAtThePath) {
  ASSERT_EQ(::unlink(storePath().c_str()), 0);
  ASSERT_EQ(::mkdir(storePath().c_str(), 0700), 0);
  std::uint32_t value = 7;
  EXPECT_NE(registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", value),
            kErrorSuccess);
  EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "K"), kErrorSuccess);
  EXPECT_TRUE(registry_.keyExists(HKEY_CURRENT_USER, "K"));
  EXPECT_EQ(namesStartingWith(storeDir(), "registry.db.corrupt-").size(), 1u);
}

TEST_F(DamagedStoreTest, UnreadableFile) {
  ASSERT_EQ(::chmod(storePath().c_str(), 0200), 0);
  const int failed = withoutPrivileges([this] {
    std::uint32_t value = 7;
    int failed = 0;
    if (registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", value) !=
        kErrorAccessDenied) {
      failed |= 1;
    }
    if (registry_.ensureKey(HKEY_CURRENT_USER, "K") != kErrorSuccess) failed |= 2;
    return failed;
  });
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(namesStartingWith(storeDir(), "registry.db.corrupt-").size(), 1u);
}

TEST_F(DamagedStoreTest, WriteProtectedFileIsKept) {
  ASSERT_EQ(::chmod(storePath().c_str(), 0400), 0);
  const int failed = withoutPrivileges([this] {
    std::uint32_t value = 0;
    int failed = 0;
    if (registry_.readDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", value) !=
            kErrorSuccess ||
        value != 42u) {
      failed |= 1;
    }
    if (registry_.writeDword(HKEY_CURRENT_USER, "Software\\Brellam\\Talvek", "n", 1) !=
        kErrorAccessDenied) {
      failed |= 2;
    }
    return failed;
  });
  EXPECT_EQ(failed, 0);
  EXPECT_TRUE(namesStartingWith(storeDir(), "registry.db.corrupt-").empty());
}

}  // namespace
}  // namespace talvek
