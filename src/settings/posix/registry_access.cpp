// RegistryAccess on one SQLite database file.
#include "settings/registry_access.h"

#include <sqlite3.h>

#include <functional>
#include <vector>

#include "platform/user_dirs.h"
#include "settings/posix/lock_wait.h"
#include "settings/posix/store_file.h"
#include "settings/posix/store_session.h"
#include "settings/registry_paths.h"

namespace talvek {

// The store's file, its lock waits and the state of the file its last check
// passed, with the transactions every operation runs in.
class RegistryAccess::State {
 public:
  using Body = std::function<RegResult(StoreSession&)>;

  explicit State(std::string path) : path_(std::move(path)) {}

  // Runs body in an immediate transaction, committing only when it returns
  // success. create: whether a missing store may be created.
  RegResult write(bool create, const Body& body);
  // Runs body in a read transaction; a store without tables is empty.
  RegResult read(const Body& body);

  LockWait& lockWait() { return wait_; }

 private:
  // One try of write(). found: the file was damaged; `damaged` then names
  // it, unless another instance has put another file in its place.
  RegResult writeOnce(bool create, const Body& body, bool& found, StoreFileIdentity& damaged);
  // One try of read(); damaged: the file looked damaged.
  RegResult readOnce(const Body& body, bool& damaged);
  // Inside a transaction that holds a lock (a read has run, or it began
  // IMMEDIATE), so the file cannot change meanwhile: runs the quick check
  // unless the file is as it was when it last passed. False on a failure or
  // a damaged file, both recorded in the session.
  bool checkStore(StoreSession& session);

  std::string path_;
  LockWait wait_;
  FileStamp checked_;
};

std::string defaultRegistryLocation() {
  const std::string base = configHome();
  // Without any home the store goes nowhere: every read is empty and every
  // write fails, which the program tolerates.
  return base.empty() ? std::string() : base + "/Brellam/Talvek/registry.db";
}

namespace {

// Keys and values carry their names as first written, for display, and a
// lower-cased copy that every lookup goes by.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS registry_keys("
    " root INTEGER NOT NULL, folded TEXT NOT NULL, path TEXT NOT NULL,"
    " PRIMARY KEY(root, folded)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS registry_values("
    " root INTEGER NOT NULL, key TEXT NOT NULL, folded_name TEXT NOT NULL, name TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL,"
    " PRIMARY KEY(root, key, folded_name)) WITHOUT ROWID;";

// The registry compares names without regard to case; ASCII is what the
// program's own names use.
std::string foldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

RegResult failureResult(const StoreSession& session, bool writing) {
  if (session.storeDamaged()) return kErrorBadDb;
  switch (session.failure()) {
    case SQLITE_READONLY:
      return writing ? kErrorAccessDenied : kErrorCantRead;
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
      return kErrorAccessDenied;
    default:
      return writing ? kErrorCantWrite : kErrorCantRead;
  }
}

// Whether the open store's header asks for a newer format to write than
// SQLite writes (its write version): such a file reads, but refuses every
// write. A file that is only opened read-only (write-protected, or after a
// failed open for writing) has a header that passes.
bool headerRefusesWrites(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr) {
    return false;
  }
  unsigned char header[19];
  return file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK && header[18] > 2;
}

// Whether the key exists; the root always does. Failures land in the session.
bool keyPresent(StoreSession& session, RegistryRoot root, const std::string& folded) {
  if (folded.empty()) return true;
  bool found = false;
  session.run("SELECT 1 FROM registry_keys WHERE root = ?1 AND folded = ?2",
              {SqlParam::integer(root), SqlParam::text(folded)},
              [&](sqlite3_stmt*) { found = true; });
  return found;
}

}  // namespace

RegistryAccess::RegistryAccess(std::string location)
    : location_(std::move(location)), state_(std::make_unique<State>(location_)) {}
RegistryAccess::~RegistryAccess() = default;

void RegistryAccess::limitWaiting(std::chrono::milliseconds total) {
  state_->lockWait().limit(total);
}

bool RegistryAccess::waitSpent() const {
  return state_->lockWait().spent();
}

std::chrono::milliseconds RegistryAccess::waited() const {
  return state_->lockWait().waited();
}

RegResult RegistryAccess::State::write(bool create, const Body& body) {
  // A read that failed can pass for damage, so a file goes aside only when
  // a second try finds it damaged again; then the write goes to a fresh
  // store. Another instance may replace the file meanwhile: the file there
  // then gets tries of its own.
  StoreFileIdentity suspect;
  bool movedAside = false;
  RegResult result = kErrorSuccess;
  for (int attempt = 0; attempt < 4; ++attempt) {
    // Once the wait is spent, the store is left alone.
    if (wait_.spent()) return kErrorCantWrite;
    bool found = false;
    StoreFileIdentity damaged;
    result = writeOnce(create, body, found, damaged);
    if (!found) return result;
    checked_ = {};
    if (!damaged.exists) continue;
    if (damaged != suspect) {
      suspect = damaged;
      continue;
    }
    if (movedAside || !moveStoreAside(path_, damaged, wait_)) return result;
    movedAside = true;
  }
  return result;
}

RegResult RegistryAccess::State::writeOnce(bool create, const Body& body, bool& found,
                                    StoreFileIdentity& damaged) {
  const StoreFileIdentity before = storeFileIdentity(path_);
  StoreConnection connection;
  RegResult result = connection.open(path_, create, wait_);
  if (result == kErrorSuccess) {
    StoreSession session(connection.handle());
    bool committed = false;
    if (session.exec("BEGIN IMMEDIATE") && checkStore(session) && session.exec(kSchema)) {
      result = body(session);
      if (result == kErrorSuccess && session.failure() == SQLITE_OK) {
        committed = session.exec("COMMIT");
      }
    }
    if (session.failure() != SQLITE_OK) result = failureResult(session, true);
    if (result != kErrorSuccess) session.rollback();
    // Our own write leaves the file as sound as the check found it.
    if (committed) checked_ = fileStamp(path_);
    found = session.storeDamaged() ||
            (session.failure() == SQLITE_READONLY && headerRefusesWrites(connection.handle()));
  }
  connection.close();
  if (!found && result != kErrorSuccess && result != kErrorFileNotFound) {
    found = isUnusableStore(path_);
  }
  // Only a file that was at the path all along is the one found damaged.
  if (found && storeFileIdentity(path_) == before) damaged = before;
  return result;
}

RegResult RegistryAccess::State::read(const Body& body) {
  RegResult result = kErrorSuccess;
  // As for writes, damage counts only when a second try finds it again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (wait_.spent()) return kErrorCantRead;
    bool damaged = false;
    result = readOnce(body, damaged);
    if (!damaged) return result;
    checked_ = {};
  }
  return result;
}

RegResult RegistryAccess::State::readOnce(const Body& body, bool& damaged) {
  StoreConnection connection;
  const RegResult opened = connection.open(path_, false, wait_);
  if (opened != kErrorSuccess) return opened;
  StoreSession session(connection.handle());
  RegResult result = kErrorFileNotFound;
  int tables = 0;
  // The first read takes the lock that checkStore needs.
  if (session.exec("BEGIN") &&
      session.run("SELECT count(*) FROM sqlite_schema WHERE type = 'table'"
                  " AND name IN ('registry_keys', 'registry_values')",
                  {}, [&](sqlite3_stmt* stmt) { tables = sqlite3_column_int(stmt, 0); }) &&
      checkStore(session) && tables == 2) {
    result = body(session);
  }
  // (A store that was never written, an empty file, holds no keys.)
  session.rollback();
  if (session.failure() != SQLITE_OK) result = failureResult(session, false);
  damaged = session.storeDamaged();
  return result;
}

bool RegistryAccess::State::checkStore(StoreSession& session) {
  const FileStamp stamp = fileStamp(path_);
  if (stamp.identity.exists && stamp == checked_) return true;
  // Damage that the store's own statements do not notice (a page of one
  // table that another also claims, cells that overlap) loses writes that
  // report success.
  bool sound = false;
  int findings = 0;
  if (!session.run("PRAGMA quick_check", {}, [&](sqlite3_stmt* stmt) {
        const unsigned char* text = sqlite3_column_text(stmt, 0);
        sound = ++findings == 1 && text != nullptr &&
                std::string_view(reinterpret_cast<const char*>(text)) == "ok";
      })) {
    return false;
  }
  if (!sound) {
    session.markDamaged();
    return false;
  }
  checked_ = stamp;
  return true;
}

RegResult RegistryAccess::ensureKey(RegistryRoot root, std::string_view path) {
  std::vector<std::string_view> levels;
  if (!keyLevels(path, levels)) return kErrorBadPathname;
  return state_->write(true, [&](StoreSession& session) {
    // Existing levels keep the case they were created with.
    for (std::string_view level : levels) {
      session.run(
          "INSERT OR IGNORE INTO registry_keys(root, folded, path) VALUES(?1, ?2, ?3)",
          {SqlParam::integer(root), SqlParam::text(foldCase(level)), SqlParam::text(level)});
    }
    return kErrorSuccess;
  });
}

RegResult RegistryAccess::setDefaultString(RegistryRoot root, std::string_view path,
                                           std::string_view text) {
  return setValue(root, path, "", REG_SZ, stringValueData(text));
}

RegResult RegistryAccess::readDword(RegistryRoot root, std::string_view path, std::string_view name,
                                    std::uint32_t& value) {
  RegistryType type = REG_NONE;
  std::string data;
  const RegResult result = queryValue(root, path, name, type, data);
  if (result != kErrorSuccess) return result;
  if (type != REG_DWORD) return kErrorUnsupportedType;
  if (data.size() > 4) return kErrorMoreData;
  // Shorter data fills a buffer that starts as 0, as the 4-byte read does.
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    number |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  }
  value = number;
  return kErrorSuccess;
}

RegResult RegistryAccess::writeDword(RegistryRoot root, std::string_view path,
                                     std::string_view name, std::uint32_t number) {
  return setValue(root, path, name, REG_DWORD, dwordValueData(number));
}

RegResult RegistryAccess::setValue(RegistryRoot root, std::string_view path, std::string_view name,
                                   RegistryType type, std::string_view data) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  const std::string key = foldCase(path);
  return state_->write(false, [&](StoreSession& session) {
    if (!keyPresent(session, root, key)) return kErrorFileNotFound;
    session.run(
        "INSERT INTO registry_values(root, key, folded_name, name, type, data)"
        " VALUES(?1, ?2, ?3, ?4, ?5, ?6)"
        " ON CONFLICT(root, key, folded_name) DO UPDATE SET type = excluded.type,"
        " data = excluded.data"
        // An unchanged value leaves the file alone: no journal, no sync. The
        // registration rewrites the same texts at every start and close.
        " WHERE type <> excluded.type OR data <> excluded.data",
        {SqlParam::integer(root), SqlParam::text(key), SqlParam::text(foldCase(name)),
         SqlParam::text(name), SqlParam::integer(type), SqlParam::blob(data)});
    return kErrorSuccess;
  });
}

RegResult RegistryAccess::queryValue(RegistryRoot root, std::string_view path,
                                     std::string_view name, RegistryType& type, std::string& data) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  const std::string key = foldCase(path);
  return state_->read([&](StoreSession& session) {
    if (!keyPresent(session, root, key)) return kErrorFileNotFound;
    bool found = false;
    session.run(
        "SELECT type, data FROM registry_values WHERE root = ?1 AND key = ?2"
        " AND folded_name = ?3",
        {SqlParam::integer(root), SqlParam::text(key), SqlParam::text(foldCase(name))},
        [&](sqlite3_stmt* stmt) {
          found = true;
          type = static_cast<RegistryType>(sqlite3_column_int64(stmt, 0));
          const void* bytes = sqlite3_column_blob(stmt, 1);
          const int size = sqlite3_column_bytes(stmt, 1);
          data.assign(bytes ? static_cast<const char*>(bytes) : "", static_cast<std::size_t>(size));
        });
    return found ? kErrorSuccess : kErrorFileNotFound;
  });
}

RegResult RegistryAccess::deleteKey(RegistryRoot root, std::string_view path) {
  if (!validKeyPath(path)) return kErrorBadPathname;
  if (path.empty()) return kErrorAccessDenied;
  const std::string key = foldCase(path);
  // Descendants sort between "key\" and "key]" (']' follows '\').
  const std::string first = key + "\\";
  const std::string beyond = key + "]";
  return state_->write(false, [&](StoreSession& session) {
    if (!keyPresent(session, root, key)) return kErrorFileNotFound;
    const auto params = {SqlParam::integer(root), SqlParam::text(key), SqlParam::text(first),
                         SqlParam::text(beyond)};
    session.run(
        "DELETE FROM registry_values WHERE root = ?1 AND (key = ?2 OR (key >= ?3 AND key < ?4))",
        params);
    session.run(
        "DELETE FROM registry_keys WHERE root = ?1 AND (folded = ?2 OR"
        " (folded >= ?3 AND folded < ?4))",
        params);
    return kErrorSuccess;
  });
}

bool RegistryAccess::keyExists(RegistryRoot root, std::string_view path) {
  if (path.empty()) return true;
  if (!validKeyPath(path)) return false;
  const std::string key = foldCase(path);
  return state_->read([&](StoreSession& session) {
           return keyPresent(session, root, key) ? kErrorSuccess : kErrorFileNotFound;
         }) == kErrorSuccess;
}

}  // namespace talvek
