// The options and the file types on the SQLite store: a damaged or locked
// store, no place for one, and two instances at once.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "settings/file_types.h"
#include "settings/options_store.h"
#include "registry_test_place.h"
#include "settings_test_env.h"
#include "temp_dir.h"

namespace talvek {
namespace {

using test::namesStartingWith;
using test::pathExists;
using test::writeFile;

constexpr char kProgram[] = "/opt/talvek/talvek";

class SqliteStoreTest : public test::SettingsTest {
 protected:
  RegistryAccess registry_{storePath()};
  OptionsStore options_{registry_, kProgram};

  RegResult storedOptType(std::uint32_t& value) {
    return registry_.readDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", value);
  }
};

TEST_F(SqliteStoreTest, DamagedStoreFallsBackThenStartsAfresh) {
  options_.saveOptType(false);
  writeFile(storePath(), std::string(3000, '\x5a'));
  EXPECT_EQ(options_.loadOptType(), kOptPassword);
  options_.saveOptType(false);
  EXPECT_EQ(options_.loadOptType(), kOptKeyFile);
  EXPECT_EQ(
      namesStartingWith(temp_.path() + "/config/Brellam/Talvek", "registry.db.corrupt-").size(),
      1u);
}

// Another process holding the store's lock, as an instance in the middle
// of a write would, until the object goes away.
class StoreLockedElsewhere {
 public:
  explicit StoreLockedElsewhere(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(release_) != 0) {
      ADD_FAILURE() << "pipe";
      return;
    }
    child_ = ::fork();
    if (child_ == 0) {
      sqlite3* db = nullptr;
      const bool locked =
          sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
          sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
      const char byte = locked ? 'L' : 'F';
      (void)!::write(ready[1], &byte, 1);
      ::close(release_[1]);
      char ignored;
      while (::read(release_[0], &ignored, 1) > 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release_[0]);
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'L') << "the store could not be locked";
    ::close(ready[0]);
  }
  ~StoreLockedElsewhere() {
    ::close(release_[1]);
    if (child_ > 0) ::waitpid(child_, nullptr, 0);
  }

 private:
  int release_[2] = {-1, -1};
  pid_t child_ = -1;
};

// A start or a close finding the store locked waits about a second in all,
// not per operation, then goes on without it: the default option, no write.
TEST_F(SqliteStoreTest, ALockedStoreCostsAboutASecondAtStartAndAtClose) {
  using std::chrono::milliseconds;
  options_.loadOptType();
  options_.saveOptType(false);
  {
    StoreLockedElsewhere lock(storePath());
    EXPECT_EQ(options_.loadOptType(), kOptPassword);
    EXPECT_TRUE(registry_.waitSpent());
    // The first operation spends the second; the others do not wait again.
    EXPECT_GE(registry_.waited(), kStoreWaitPerStartOrClose);
    EXPECT_LE(registry_.waited(), kStoreWaitPerStartOrClose + milliseconds(300));

    options_.saveOptType(true);
    EXPECT_TRUE(registry_.waitSpent());
    EXPECT_LE(registry_.waited(), kStoreWaitPerStartOrClose + milliseconds(300));
  }
  // The save was skipped; the next start finds the store free again.
  EXPECT_EQ(options_.loadOptType(), kOptKeyFile);
  EXPECT_FALSE(registry_.waitSpent());
  EXPECT_EQ(registry_.waited(), milliseconds(0));
}

// Once a limited wait is spent, operations fail at once without touching
// the store, until the limit is set again.
TEST_F(SqliteStoreTest, ASpentWaitLeavesTheStoreAlone) {
  using std::chrono::milliseconds;
  options_.saveOptType(false);
  std::uint32_t value = 0;
  {
    StoreLockedElsewhere lock(storePath());
    registry_.limitWaiting(milliseconds(50));
    EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "Other"), kErrorCantWrite);
    const milliseconds waited = registry_.waited();
    EXPECT_GE(waited, milliseconds(50));
    EXPECT_EQ(storedOptType(value), kErrorCantRead);
    EXPECT_EQ(registry_.writeDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", 1),
              kErrorCantWrite);
    EXPECT_EQ(registry_.waited(), waited);
  }
  // The store is free again, but left alone all the same until the next
  // limit: nothing was written meanwhile.
  EXPECT_EQ(registry_.ensureKey(HKEY_CURRENT_USER, "Other"), kErrorCantWrite);
  EXPECT_EQ(storedOptType(value), kErrorCantRead);
  registry_.limitWaiting(milliseconds(50));
  EXPECT_FALSE(registry_.keyExists(HKEY_CURRENT_USER, "Other"));
  EXPECT_EQ(storedOptType(value), kErrorSuccess);
  EXPECT_EQ(value, static_cast<std::uint32_t>(kOptKeyFile));
  EXPECT_TRUE(
      namesStartingWith(temp_.path() + "/config/Brellam/Talvek", "registry.db.corrupt-").empty());
}

TEST_F(SqliteStoreTest, NoUsableLocationStillGivesPassword) {
  // A file where the store's directory should be: nothing can be created.
  writeFile(temp_.path() + "/blocked", "");
  RegistryAccess registry(temp_.path() + "/blocked/Brellam/Talvek/registry.db");
  OptionsStore options(registry, kProgram);
  EXPECT_EQ(options.loadOptType(), kOptPassword);
  options.saveOptType(false);
  EXPECT_EQ(options.loadOptType(), kOptPassword);
}

TEST_F(SqliteStoreTest, TwoInstancesSavingAtOnce) {
  constexpr int kSaves = 200;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = ::fork();
    ASSERT_GE(children[child], 0);
    if (children[child] == 0) {
      // Both start together: wait until the parent closes the pipe.
      ::close(ready[1]);
      char byte;
      while (::read(ready[0], &byte, 1) > 0) {
      }
      RegistryAccess registry(storePath());
      OptionsStore options(registry, kProgram);
      // The same writes outside a close's one second of waiting, so that a
      // slow disk cannot make them give up.
      RegistryAccess direct(storePath());
      int failures = 0;
      const std::uint32_t mine = child == 0 ? 1009 : 1010;
      for (int i = 0; i < kSaves; ++i) {
        options.saveOptType(child == 0);
        // The same write once more, to see its result under contention.
        if (direct.writeDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", mine) !=
            kErrorSuccess) {
          ++failures;
        }
        std::uint32_t value = 0;
        if (direct.readDword(HKEY_CURRENT_USER, ProductKeyPath, "optType", value) !=
                kErrorSuccess ||
            (value != 1009 && value != 1010)) {
          ++failures;
        }
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  ::close(ready[0]);
  ::close(ready[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::uint32_t value = 0;
  ASSERT_EQ(storedOptType(value), kErrorSuccess);
  EXPECT_TRUE(value == 1009 || value == 1010) << value;
  RegistryType type = REG_NONE;
  std::string text;
  ASSERT_EQ(registry_.queryValue(HKEY_CLASSES_ROOT, ".tc", "", type, text), kErrorSuccess);
  EXPECT_EQ(text, std::string("Talvek", 7));
  EXPECT_TRUE(
      namesStartingWith(temp_.path() + "/config/Brellam/Talvek", "registry.db.corrupt-").empty());
  EXPECT_FALSE(pathExists(storePath() + "-journal"));
}

TEST_F(SqliteStoreTest, DamagedStoreIsReplacedWhenTheFileTypesAreWritten) {
  registerFileTypes(registry_, kProgram);
  writeFile(storePath(), std::string(3000, 'q'));
  registerFileTypes(registry_, kProgram);
  EXPECT_EQ(test::defaultText(registry_, HKEY_CLASSES_ROOT, "Talvek"), "Talvek Encoded File");
  EXPECT_EQ(test::defaultText(registry_, HKEY_CLASSES_ROOT, ".mk"), "Morva.Key");
}

}  // namespace
}  // namespace talvek
